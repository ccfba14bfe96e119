#include "util/ImageText.h"

#include "util/Func_2.h"

namespace talvine {

bool HasImagePrefix(const std::u16string& text) {
    return text.compare(0, kImageTextPrefix.size(), kImageTextPrefix) == 0;
}

std::u16string TImageText::Text() const {
    std::u16string s = kImageTextPrefix;
    s += name;
    for (const std::u16string& f : fields) {
        s += u',';
        s += f;
    }
    return s;
}

std::optional<TImageText> SplitImageText(const std::u16string& text) {
    if (!HasImagePrefix(text)) return std::nullopt;
    const size_t comma = text.find(u',', kImageTextPrefix.size());
    if (comma == std::u16string::npos) return std::nullopt;
    TImageText t;
    t.name = text.substr(kImageTextPrefix.size(), comma - kImageTextPrefix.size());
    for (size_t pos = comma + 1;;) {
        const size_t next = text.find(u',', pos);
        t.fields.push_back(text.substr(pos, next == std::u16string::npos ? std::u16string::npos : next - pos));
        if (next == std::u16string::npos) break;
        pos = next + 1;
    }
    return t;
}

std::optional<std::u16string> BoundImageName(const std::u16string& text) {
    const size_t prefix = kBoundImageTextPrefix.size();
    if (text.size() <= prefix || text.compare(0, prefix, kBoundImageTextPrefix) != 0) return std::nullopt;
    const size_t comma = text.find(u',', prefix);
    if (comma == std::u16string::npos) return std::nullopt;
    return text.substr(prefix, comma - prefix);
}

TImageTextInfo ParseImageText(const std::u16string& text) {
    TImageTextInfo info;
    const std::optional<TImageText> t = SplitImageText(text);
    if (!t) return info;
    info.name = t->name;
    const std::vector<std::u16string>& f = t->fields;
    if (f.size() == 1) {
        // One number: the width, and as high as wide.
        info.d[0] = info.d[1] = StrToFloatDef0(f[0]);
        return info;
    }
    for (size_t i = 0; i < f.size() && i < 9; ++i) {
        if (i < 6)
            info.d[i] = StrToFloatDef0(f[i]);
        else
            info.n[i - 6] = StrToIntDef0(f[i]);
    }
    if (f.size() >= 3) info.result = 0;
    if (info.n[0] != -1) {
        if (info.n[1] == -1) info.n[1] = 0;
        if (info.n[2] == -1) info.n[2] = 0;
    }
    return info;
}

}  // namespace talvine
