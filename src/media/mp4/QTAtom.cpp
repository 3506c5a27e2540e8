#include "media/mp4/QTAtom.h"

#include "media/mp4/AtomTypes.h"

namespace mellodeck {

TQTAtom* TQTAtom::AddChild(std::unique_ptr<TQTAtom> atom) {
    atom->Parent = this;
    Children.push_back(std::move(atom));
    return Children.back().get();
}

int TQTAtom::IndexInParent() const {
    if (!Parent)
        return -1;
    for (int i = 0; i < Parent->ChildCount(); ++i)
        if (Parent->Child(i) == this)
            return i;
    return -1;
}

bool TQTAtom::IsFree() const { return AtomType == atom::kFree; }

TQTAtom* TQTAtom::FindChild(uint32_t atomType) const {
    for (const auto& child : Children)
        if (child->AtomType == atomType)
            return child.get();
    return nullptr;
}

std::string AtomTypeText(uint32_t type) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const auto c = static_cast<unsigned char>(type >> shift);
        if (c == 0xA9)
            text += "(c)";
        else if (c >= 0x20 && c < 0x7F)
            text += static_cast<char>(c);
        else
            text += '?';
    }
    return text;
}

} // namespace mellodeck
