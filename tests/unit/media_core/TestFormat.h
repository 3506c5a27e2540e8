#pragma once
// A tiny format for exercising the format base: the file's first line is the artist, and a save writes
// "artist\n" followed by the rest of the old file through a temporary sibling file.
#include <string>

#include "media/core/MediaFormat.h"

namespace mellodeck::test {

class TTestTags : public TCommonMediaTags {
public:
    explicit TTestTags(TBaseMediaFormat* format) : TCommonMediaTags(format) {
        Artist = Make<TBaseStringTag>();
        Title = Make<TBaseStringTag>();
        Album = Make<TBaseStringTag>();
        Mood = Make<TBaseStringTag>();
        Pictures = Make<TBasePictureTag>();
        for (const auto& slot : StringSlots())
            if (!(this->*slot.Member))
                this->*slot.Member = Make<TBaseStringTag>();
    }
};

class TTestFormat : public TBaseMediaFormat {
public:
    TTestFormat() { SetTags(std::make_unique<TTestTags>(this)); }
    const char* ClassName() const override { return "TTestFormat"; }
    bool ReadInfo() override {
        ++Reads;
        std::string line;
        char c;
        while (Stream->Read(&c, 1) == 1 && c != '\n')
            line += c;
        Tags->Artist->SetValue(Utf8ToWide(line));
        Tags->Artist->Exists = !line.empty();
        return true;
    }
    bool SaveTags(uint32_t) override {
        const std::string head = WideToUtf8(Tags->Artist->Value) + "\n";
        return SaveResult = head.empty() ? false : Save(head);
    }
    int Reads = 0;
    bool SaveResult = false;

private:
    bool Save(const std::string& head) {
        int64_t skip = 0;
        Stream->SetPosition(0);
        char c;
        while (Stream->Read(&c, 1) == 1) {
            ++skip;
            if (c == '\n')
                break;
        }
        const std::wstring temp = MakeSiblingFileName(FileName, L".~temporary");
        {
            TBufferedFileWriteStream out(temp, WriteBufferSize, true);
            if (out.ErrorCode)
                return false;
            out.WriteBuffer(head.data(), static_cast<int64_t>(head.size()));
            Stream->SetPosition(skip);
            out.CopyFrom(*Stream, Stream->Size() - skip);
        }
        Stream.reset();
        DeleteFileLogged(FileName);
        return RenameFile(temp, FileName);
    }
};

} // namespace mellodeck::test
