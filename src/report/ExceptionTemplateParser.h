#pragma once
// The template engine with the message log's vocabulary: application, system, memory, time, message,
// call stack, process and display variables (names matched without regard to case).
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "report/StringParser.h"
#include "report/SystemFacts.h"

namespace mellodeck {

// A byte count as the log prints it: "0 Kb", "N Byte" below 1 KB, then whole "KB", "MB" and "GB"
// (factors of 1024; anything from 1024 MB up is given in GB).
std::string SizeText(uint64_t bytes);

// Short vendor name for a CPUID vendor text ("GenuineIntel" gives "Intel"), or "[Unknown CPU]".
std::string CpuVendorText(const std::string& vendorId);

class TExceptionTemplateParser : public TStringParser {
public:
    // Number of names in the vocabulary table (some appear twice; the first entry wins).
    static constexpr size_t kVocabularySize = 36;

    TExceptionTemplateParser();
    explicit TExceptionTemplateParser(std::shared_ptr<ISystemFacts> facts);

    // Lines emitted by CallStackList.
    std::vector<std::string>& CallStack() { return FCallStack; }
    // The message text read by Message; setting it forgets where the last message was placed.
    const std::string& Message() const { return FMessage; }
    void SetMessage(std::string text);
    // The message type text read by Type.
    const std::string& MessageType() const { return FMessageType; }
    void SetMessageType(std::string text) { FMessageType = std::move(text); }

    // Column at which Message's value started in the last line that named it, if any did since SetMessage.
    std::optional<size_t> MessageColumn() const { return FMessageColumn; }

    ISystemFacts& SystemFacts() { return *FSystemFacts; }
    void SetSystemFacts(std::shared_ptr<ISystemFacts> facts);

protected:
    std::string ResolveValue(const std::string& name) override;

private:
    std::vector<std::string> FCallStack;
    std::string FMessage;
    std::string FMessageType;
    std::optional<size_t> FMessageColumn;
    std::shared_ptr<ISystemFacts> FSystemFacts;
};

} // namespace mellodeck
