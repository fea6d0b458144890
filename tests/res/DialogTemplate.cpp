#include "tests/res/DialogTemplate.h"

#include <cstring>

namespace ResTest {
namespace {

class Reader {
public:
    Reader(const BYTE* data, size_t size) : data_(data), size_(size) {}

    bool ok() const { return ok_; }

    template <typename T>
    T Read() {
        T value{};
        if (pos_ + sizeof(T) > size_) {
            ok_ = false;
            return value;
        }
        std::memcpy(&value, data_ + pos_, sizeof(T));
        pos_ += sizeof(T);
        return value;
    }

    std::wstring ReadString() {
        std::wstring text;
        for (WCHAR c = Read<WCHAR>(); ok_ && c != 0; c = Read<WCHAR>())
            text += c;
        return text;
    }

    NameOrOrdinal ReadNameOrOrdinal() {
        NameOrOrdinal field;
        if (pos_ + sizeof(WORD) <= size_ && *reinterpret_cast<const WORD*>(data_ + pos_) == 0xFFFF) {
            Read<WORD>();
            field.ordinal = Read<WORD>();
        } else {
            field.name = ReadString();
        }
        return field;
    }

    void Skip(size_t bytes) {
        if (pos_ + bytes > size_)
            ok_ = false;
        else
            pos_ += bytes;
    }

    void AlignToDword() { Skip((4 - pos_ % 4) % 4); }

private:
    const BYTE* data_;
    size_t size_;
    size_t pos_ = 0;
    bool ok_ = true;
};

DialogItem ReadItem(Reader& in) {
    DialogItem item;
    in.AlignToDword();
    in.Read<DWORD>();  // help id
    item.exStyle = in.Read<DWORD>();
    item.style = in.Read<DWORD>();
    item.x = in.Read<short>();
    item.y = in.Read<short>();
    item.cx = in.Read<short>();
    item.cy = in.Read<short>();
    item.id = in.Read<DWORD>();
    item.windowClass = in.ReadNameOrOrdinal();
    item.text = in.ReadNameOrOrdinal();
    in.Skip(in.Read<WORD>());  // creation data
    return item;
}

}  // namespace

std::optional<DialogTemplate> ParseDialogTemplate(const void* data, size_t size) {
    Reader in(static_cast<const BYTE*>(data), size);
    if (in.Read<WORD>() != 1 || in.Read<WORD>() != 0xFFFF)
        return std::nullopt;
    DialogTemplate dialog;
    in.Read<DWORD>();  // help id
    dialog.exStyle = in.Read<DWORD>();
    dialog.style = in.Read<DWORD>();
    const WORD count = in.Read<WORD>();
    dialog.x = in.Read<short>();
    dialog.y = in.Read<short>();
    dialog.cx = in.Read<short>();
    dialog.cy = in.Read<short>();
    in.ReadNameOrOrdinal();  // menu
    in.ReadNameOrOrdinal();  // window class
    dialog.caption = in.ReadString();
    if (dialog.style & (DS_SETFONT | DS_SHELLFONT)) {
        dialog.pointSize = in.Read<WORD>();
        in.Read<WORD>();  // weight
        in.Read<BYTE>();  // italic
        in.Read<BYTE>();  // character set
        dialog.typeface = in.ReadString();
    }
    for (WORD i = 0; i < count && in.ok(); ++i)
        dialog.items.push_back(ReadItem(in));
    if (!in.ok())
        return std::nullopt;
    return dialog;
}

}  // namespace ResTest
