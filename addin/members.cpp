#include "members.h"

namespace dvka {

namespace {

constexpr ParamInfo kCodeAndProfile[] = {{"Code", Param::Text}, {"Profile", Param::Text, ""}};
constexpr ParamInfo kChar[] = {{"Char", Param::Text}};
constexpr ParamInfo kBarcode[] = {{"Kind", Param::Text},
                                  {"Data", Param::Text},
                                  {"Gs1", Param::Flag, std::nullopt, std::nullopt, false},
                                  {"Scale", Param::Number, std::nullopt, 4.0},
                                  {"Quiet", Param::Number, std::nullopt, 4.0}};
constexpr ParamInfo kDevice[] = {
    {"Transport", Param::Text}, {"Device", Param::Text}, {"Profile", Param::Text, ""}};
constexpr ParamInfo kSetUpDevice[] = {{"Transport", Param::Text, ""}, {"Device", Param::Text, ""}};
constexpr ParamInfo kText[] = {{"Text", Param::Text}};

constexpr MemberInfo kProperties[] = {
    {u"Version", u"Версия"},
    {u"Connected", u"Подключен"},
    {u"InSetup", u"ИдетНастройка"},
};

constexpr MemberInfo kMethods[] = {
    {u"GetVersion", u"ПолучитьНомерВерсии"},
    {u"GetLastError", u"ПолучитьОшибку"},
    {u"Decode", u"РазобратьКод", kCodeAndProfile},
    {u"DecodeTyped", u"РазобратьНабранное", kCodeAndProfile},
    {u"KeyForChar", u"КлавишаСимвола", kChar},
    {u"BarcodeSvg", u"ШтрихкодSVG", kBarcode},
    {u"BarcodePng", u"ШтрихкодPNG", kBarcode},
    {u"Connect", u"Подключить", kDevice},
    {u"Disconnect", u"Отключить", {}, false},
    {u"DeviceTest", u"ТестУстройства", kDevice},
    {u"StartSetup", u"НачатьНастройку", kSetUpDevice},
    {u"SetupState", u"СостояниеНастройки"},
    {u"SkipStep", u"ПропуститьШаг"},
    {u"FeedSetup", u"ПередатьНастройке", kText},
    {u"LearnedProfile", u"ИзученныйПрофиль"},
    {u"StopSetup", u"ЗавершитьНастройку", {}, false},
};

// Latin and Russian letters to lower case: the names hold no others.
char16_t folded(char16_t c) {
    if (c >= u'A' && c <= u'Z') return static_cast<char16_t>(c + 0x20);
    if (c >= u'А' && c <= u'Я') return static_cast<char16_t>(c + 0x20);
    if (c == u'Ё') return u'ё';
    return c;
}

bool sameName(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (folded(a[i]) != folded(b[i])) return false;
    return true;
}

} // namespace

std::span<const MemberInfo> properties() { return kProperties; }
std::span<const MemberInfo> methods() { return kMethods; }

long findMember(std::span<const MemberInfo> members, std::u16string_view name) {
    for (size_t i = 0; i < members.size(); ++i)
        if (sameName(members[i].english, name) || sameName(members[i].russian, name))
            return static_cast<long>(i);
    return -1;
}

} // namespace dvka
