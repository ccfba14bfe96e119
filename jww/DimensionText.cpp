#include "jww/DimensionText.h"

#include <cmath>
#include <string>

#include "util/Func_2.h"
#include "util/NumberText.h"

namespace talvine {

std::u16string GeneralNumber(double v) {
    if (v == 0) v = 0;  // no "-0"
    return Utf8ToUtf16(GeneralText(v, 15));
}

std::u16string FixedNumber(double v, int decimals) {
    if (v == 0) v = 0;
    return Utf8ToUtf16(FixedText(v, decimals));
}


std::u16string ToFullWidth(const std::u16string& s) {
    static const char16_t kKana[] = {
        u'。', u'「', u'」', u'、', u'・', u'ヲ', u'ァ', u'ィ', u'ゥ', u'ェ', u'ォ', u'ャ', u'ュ', u'ョ', u'ッ', u'ー',
        u'ア', u'イ', u'ウ', u'エ', u'オ', u'カ', u'キ', u'ク', u'ケ', u'コ', u'サ', u'シ', u'ス', u'セ', u'ソ', u'タ',
        u'チ', u'ツ', u'テ', u'ト', u'ナ', u'ニ', u'ヌ', u'ネ', u'ノ', u'ハ', u'ヒ', u'フ', u'ヘ', u'ホ', u'マ', u'ミ',
        u'ム', u'メ', u'モ', u'ヤ', u'ユ', u'ヨ', u'ラ', u'リ', u'ル', u'レ', u'ロ', u'ワ', u'ン', u'゛', u'゜',
    };
    std::u16string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        const char16_t c = s[i];
        if (c == u' ') {
            out += u'\u3000';
        } else if (c >= 0x21 && c <= 0x7E) {
            out += static_cast<char16_t>(c - 0x21 + 0xFF01);
        } else if (c >= 0xFF61 && c <= 0xFF9F) {
            char16_t k = kKana[c - 0xFF61];
            const char16_t next = i + 1 < s.size() ? s[i + 1] : 0;
            const bool voicable = (c >= 0xFF76 && c <= 0xFF84) || (c >= 0xFF8A && c <= 0xFF8E);  // カ..ト, ハ..ホ
            if (next == 0xFF9E && voicable) {
                k = static_cast<char16_t>(k + 1);
                ++i;
            } else if (next == 0xFF9E && c == 0xFF73) {  // ウ゛
                k = u'ヴ';
                ++i;
            } else if (next == 0xFF9F && c >= 0xFF8A && c <= 0xFF8E) {
                k = static_cast<char16_t>(k + 2);
                ++i;
            }
            out += k;
        } else {
            out += c;
        }
    }
    return out;
}

std::u16string DimensionValueText(double v, uint16_t F, uint16_t S) {
    if (F & 0x10) v /= 1000;
    const int decimals = (F / 4096) % 10;
    const int mode = (F & 0x100) && !(F & 0x200) ? 0 : (F & 0x200) && !(F & 0x100) ? 1 : 2;
    v = RoundDigits(decimals, mode, v);

    std::u16string s;
    if (F & 0x40) {
        const std::u16string fixed = FixedNumber(v, decimals);
        const size_t dot = fixed.find(u'.');
        const size_t intEnd = dot == std::u16string::npos ? fixed.size() : dot;
        const size_t digitsFrom = !fixed.empty() && fixed[0] == u'-' ? 1 : 0;
        s = fixed.substr(0, digitsFrom);
        for (size_t i = digitsFrom; i < intEnd; ++i) {
            if (i > digitsFrom && (intEnd - i) % 3 == 0) s += u',';
            s += fixed[i];
        }
        s += fixed.substr(intEnd);
        if (!(F & 0x80) && dot != std::u16string::npos) {
            while (!s.empty() && s.back() == u'0') s.pop_back();
            if (!s.empty() && s.back() == u'.') s.pop_back();  // no dangling point
        }
    } else if (F & 0x80) {
        s = FixedNumber(v, decimals);
    } else {
        s = GeneralNumber(v);
    }

    const std::u16string mark = (S & 0x100) ? u"R" : (S & 0x200) ? u"φ" : u"";
    if (!mark.empty()) {
        if (F & 0x400)
            s = mark + s;
        else if (F & 0x800)
            s += mark;
    }
    if (F & 0x8) s = ToFullWidth(s);
    if (F & 0x20) s += (F & 0x10) ? u"ｍ" : u"mm";
    return s;
}


}  // namespace talvine
