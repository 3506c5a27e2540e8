#pragma once
// One node of an MPEG-4 file's atom tree as the reader walked it: where the atom lies and what it is.
// The tree holds no atom contents; saving copies them from the file.
#include <cstdint>
#include <memory>
#include <vector>

namespace mellodeck {

class TQTAtom {
public:
    TQTAtom() = default;
    TQTAtom(int64_t offset, int64_t size, uint32_t atomType, uint8_t headerSize = 8, bool sizeToEnd = false)
        : Offset(offset), Size(size), AtomType(atomType), HeaderSize(headerSize), SizeToEnd(sizeToEnd) {}
    TQTAtom(const TQTAtom&) = delete;
    TQTAtom& operator=(const TQTAtom&) = delete;

    // File offset of the atom's header.
    int64_t Offset = 0;
    // Whole atom in bytes, header included: from the 32-bit size, the 64-bit size form, or (size 0)
    // up to the end of the enclosing atom or file.
    int64_t Size = 0;
    uint32_t AtomType = 0;
    // 8, or 16 for the 64-bit size form.
    uint8_t HeaderSize = 8;
    // The header's size field was 0: the atom runs to the end of its parent (or of the file).
    bool SizeToEnd = false;
    std::vector<std::unique_ptr<TQTAtom>> Children;
    TQTAtom* Parent = nullptr;

    TQTAtom* AddChild(std::unique_ptr<TQTAtom> atom);
    int ChildCount() const { return static_cast<int>(Children.size()); }
    TQTAtom* Child(int index) const { return Children.at(static_cast<size_t>(index)).get(); }
    TQTAtom* LastChild() const { return Children.empty() ? nullptr : Children.back().get(); }
    // Position among the parent's children; -1 without parent.
    int IndexInParent() const;
    bool IsFree() const;
    void ClearChildren() { Children.clear(); }

    int64_t End() const { return Offset + Size; }
    int64_t DataOffset() const { return Offset + HeaderSize; }
    // The first child of this type, or nullptr.
    TQTAtom* FindChild(uint32_t atomType) const;
};

} // namespace mellodeck
