#include "jww/DisplayTables.h"

#include "util/Func_2.h"

namespace talvine {

namespace {

char16_t HexDigitOf(int v) { return static_cast<char16_t>(v < 10 ? u'0' + v : u'A' + (v - 10)); }

std::vector<TLayerAttr> MakeResetTable() {
    std::vector<TLayerAttr> t(kLayerAttrCount);
    for (int i = 0; i < kLayerAttrCount; ++i) {
        TLayerAttr& a = t[static_cast<size_t>(i)];
        a.state = 1;
        a.scale = 1.0;
        a.groupLabel = std::u16string(u"[") + HexDigitOf(i / 16) + u"] ";
        a.layerLabel = std::u16string(u"(") + HexDigitOf(i % 16) + u") ";
    }
    return t;
}

}  // namespace

std::vector<TLayerAttr>& LayerAttrTable() {
    static std::vector<TLayerAttr> table = MakeResetTable();
    return table;
}

void ResetLayerAttrTable() { LayerAttrTable() = MakeResetTable(); }

TDisplaySetup& DisplaySetup() {
    static TDisplaySetup setup;
    return setup;
}

void ResetDisplaySetup() { DisplaySetup() = TDisplaySetup{}; }

double GroupScale(double denominator) {
    if (!(denominator > 0)) return 1.0;
    const double s = 1.0 / denominator;
    return s > 0 && IsFiniteNum(s) ? s : 1.0;
}

}  // namespace talvine
