#include "contracts_driver.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

#include "contracts/dex_data.h"
#include "contracts/text_services.h"
#include "fuzz_input.h"

namespace fuzzing {

namespace {

using namespace orv::ie;  // NOLINT(google-build-using-namespace): the driver speaks the library's types

[[noreturn]] void fail(const char* operation, const std::string& detail) {
    std::fprintf(stderr, "contracts check failed in %s: %s\n", operation, detail.c_str());
    std::abort();
}

// The text as plain ASCII (number texts are ASCII); anything else as '?'.
std::string ascii(const COrvStringT& text) {
    std::string result;
    for (wchar_t ch : text.view()) result += ch >= 0x20 && ch < 0x7F ? static_cast<char>(ch) : '?';
    return result;
}

std::string describe(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%a with %d decimals", value, decimals);
    return text;
}

// The C library's fixed text without "-" when every digit is zero: what DoubleToString promises.
std::string printfFixed(double value, int decimals) {
    static char buffer[512];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    std::string text(buffer);
    if (!text.empty() && text[0] == '-' && text.find_first_of("123456789") == std::string::npos) text.erase(0, 1);
    return text;
}

int smallOrAny(FuzzInput& in, int limit) { return in.pick(4) == 0 ? in.integer() : in.count(limit); }

template <class Enumeration>
Enumeration anyOf(FuzzInput& in, int defined) {
    return static_cast<Enumeration>(smallOrAny(in, defined));
}

// ---------------------------------------------------------------------------------------------
// Number texts and conversions

void numberTexts(FuzzInput& in) {
    const double value = in.number();
    const int decimals = smallOrAny(in, 20);
    const COrvStringT text = orv_formats::DoubleToString(value, decimals);
    if (!std::isfinite(value)) {
        if (!text.IsEmpty()) fail("DoubleToString", "a non-finite value gave a text");
        return;
    }
    if (decimals >= 0 && decimals <= 60 && std::fabs(value) < 1e300) {
        if (ascii(text) != printfFixed(value, decimals)) {
            fail("DoubleToString",
                 describe(value, decimals) + " gave " + ascii(text) + ", %.*f gives " + printfFixed(value, decimals));
        }
    }
    COrvStringT appended = in.text();
    const COrvStringT before = appended;
    orv_formats::AppendDouble(appended, value, decimals);
    if (appended != before + text) fail("AppendDouble", describe(value, decimals));
}

void integerTexts(FuzzInput& in) {
    const int value = in.integer();
    if (ascii(orv_formats::IntToString(value)) != std::to_string(value)) fail("IntToString", std::to_string(value));
    COrvStringT text;
    const auto wide = static_cast<long long>(in.raw(8));
    orv_formats::AppendInt(text, wide);
    if (ascii(text) != std::to_string(wide)) fail("AppendInt", std::to_string(wide));
}

void rounding(FuzzInput& in) {
    const double value = in.number();
    const int decimals = smallOrAny(in, 12);
    const double rounded = orv::math::round_prec(value, decimals);
    if (!std::isfinite(value) && !(std::isnan(value) ? std::isnan(rounded) : rounded == value)) {
        fail("round_prec", "a non-finite value changed");
    }
    const int saturated = orv::math::toIntSaturated(in.number());
    (void)saturated;
}

void styledTexts(FuzzInput& in) {
    const double value = in.number();
    const int decimals = smallOrAny(in, 16);
    const COrvStringT angle = utils::angleByStyleToString(anyOf<EAngleUnits>(in, 5), value, decimals);
    const COrvStringT distance = utils::distByStyleToString(anyOf<EDistUnits>(in, 5), value, decimals);
    const COrvStringT coordinate =
        utils::coordsByStyleToString(anyOf<ECoordsStyle>(in, 6), value, decimals, anyOf<ECoordsSign>(in, 1));
    // No number text is longer than a double's integer digits and 1074 decimals.
    for (const COrvStringT* text : {&angle, &distance, &coordinate}) {
        if (text->GetLength() > 2 + 309 + 1 + 1074) fail("styled text", describe(value, decimals));
    }
}

void conversions(FuzzInput& in) {
    const double value = in.number();
    (void)utils::fromMetersFactor(value, anyOf<EDistUnits>(in, 5));
    (void)utils::fromCelsius(value, anyOf<ETemperatureUnits>(in, 3));
    (void)utils::fromHpa(value, anyOf<EPressureUnits>(in, 4));
    (void)utils::angleToDecDeg(value, anyOf<EAngleUnits>(in, 5));
    (void)Rad2Deg(value, in.flag());
    (void)ModDeg360(value, in.flag());
    const double low = in.pick(2) == 0 ? 0.0 : in.number();
    const double high = in.pick(2) == 0 ? 360.0 : in.number();
    const double ranged = toRange(value, low, high);
    if (!std::isnan(ranged) && !(low <= ranged && ranged < high)) fail("toRange", describe(value, 0));
}

// ---------------------------------------------------------------------------------------------
// Fields and texts

void reportFields(FuzzInput& in) {
    const wchar_t fill = in.character();
    const int width = smallOrAny(in, 70);
    const bool alignRight = in.flag();
    const COrvStringT text = in.text();
    const bool keepLonger = in.flag();
    const COrvStringT field = utils::getReportString(fill, width, alignRight, text, keepLonger);
    const int room = std::clamp(width, 0, utils::kMaxFieldWidth);
    const int length = text.GetLength();
    const int expected = length <= room ? room : keepLonger ? length : room;
    if (field.GetLength() != expected) fail("getReportString", "width " + std::to_string(width));
    if (utils::getMbcsLength(text) < length) fail("getMbcsLength", "fewer bytes than characters");
}

void stringEditing(FuzzInput& in) {
    COrvStringT text = in.text();
    const int first = smallOrAny(in, 30);
    const int count = smallOrAny(in, 30);
    (void)text.Left(first);
    (void)text.Mid(first, count);
    (void)text.Find(in.character(), first);
    const COrvStringT needle = in.text();
    (void)text.Find(needle.GetString(), first);
    (void)text.FindOneOf(needle.GetString());
    (void)text.Compare(needle.GetString());
    (void)text.GetAt(first);
    switch (in.pick(7)) {
        case 0:
            text.Delete(first, count);
            break;
        case 1:
            text.Remove(in.character());
            break;
        case 2:
            text.Replace(in.character(), in.character());
            break;
        case 3:
            text.MakeUpper();
            break;
        case 4: {
            // A buffer write of any length a caller can hold, then any release length.
            const int length = in.pick(4) == 0 ? -in.count(100) : in.count(200);
            wchar_t* buffer = text.GetBufferSetLength(length);
            for (int i = 0; i < length; ++i) buffer[i] = in.character();
            text.ReleaseBuffer(smallOrAny(in, 200));
            break;
        }
        case 5:
            text += COrvStringT(in.character(), in.pick(4) == 0 ? -in.count(100) : in.count(100));
            text = text + needle;
            break;
        default:
            const COrvStringT& same = text;
            text = same;  // assignment to itself keeps the text
            text += same;
            break;
    }
    if (text.GetString()[text.GetLength()] != L'\0') fail("COrvStringT", "the text lost its terminating zero");
}

void formatting(FuzzInput& in) {
    COrvStringT out;
    const int width = smallOrAny(in, 30);
    const int precision = smallOrAny(in, 30);
    switch (in.pick(6)) {
        case 0:
            out.Format(L"%.*f", precision, in.number());
            break;
        case 1:
            out.Format(L"%*.*f|%e|%G", width, precision, in.number(), in.number(), in.number());
            break;
        case 2:
            out.Format(L"%*d|%+05i|%x|%#X|%u", width, in.integer(), in.integer(), in.integer(), in.integer(),
                       static_cast<unsigned int>(in.integer()));
            break;
        case 3: {
            const COrvStringT text = in.text();
            out.Format(L"%*.*s|%-*ls|%c", width, precision, text.GetString(), width, text.GetString(),
                       static_cast<int>(in.character()));
            break;
        }
        case 4:
            out.Format(L"%02.0f|%.1lf|%lld|%hd", in.number(), in.number(), static_cast<long long>(in.raw(8)),
                       in.integer());
            break;
        default: {
            // A format text of the caller's own: conversions that take no argument only.
            COrvStringT format = in.text();
            format.Replace(L'%', L'#');
            format += L"%%";
            out.Format(format.GetString());
            break;
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Clock, short date and numeric names

void shortDate(FuzzInput& in) {
    base::CTime::SetFixedCurrentTime(
        base::CTime(in.integer(), in.integer(), in.integer(), in.integer(), in.integer(), in.integer()));
    const COrvStringT pattern = in.text();
    const bool withPicture = in.flag();
    if (in.flag()) orv::platform::SetShortDatePattern(pattern.GetString());
    wchar_t buffer[80];
    const int size = in.pick(4) == 0 ? -in.count(2) : in.count(80);
    const int written = orv::platform::GetDateFormatW(0x0400, 1, nullptr, withPicture ? pattern.GetString() : nullptr,
                                                      in.flag() ? nullptr : buffer, size);
    if (written < 0 || written > std::max(size, 0)) fail("GetDateFormatW", "wrote past its buffer");
    base::CTime::ClearFixedCurrentTime();
    orv::platform::SetShortDatePattern(nullptr);
}

void numericNames(FuzzInput& in) {
    FreeNumericNames names;
    static const long long kStarts[] = {1, 5, 999999999, 1000000000, LLONG_MAX - 2, LLONG_MAX, LLONG_MIN};
    if (in.flag()) names.setStart(kStarts[in.pick(sizeof kStarts / sizeof kStarts[0])]);
    std::set<std::wstring> handedOut;  // texts given to names that were not numeric themselves
    const int calls = in.count(40);
    for (int i = 0; i < calls; ++i) {
        COrvStringT name;
        const std::size_t kind = in.pick(4);
        if (kind == 0) {
            const int digits = 1 + in.count(10);
            for (int d = 0; d < digits; ++d) name += static_cast<wchar_t>(L'0' + in.pick(10));
        } else if (kind == 1) {
            name = in.text();
        }  // else the empty name
        if (in.pick(6) == 0) {
            names.reserve(name);
            continue;
        }
        if (in.pick(20) == 0) {
            names.init();  // every number is free again
            handedOut.clear();
        }
        const COrvStringT given = names.getNameFor(name);
        if (FreeNumericNames::numberOf(name) > 0) {
            if (given != name) fail("getNameFor", "a numeric name was not its own");
        } else if (!handedOut.insert(std::wstring(given.view())).second) {
            fail("getNameFor", "one number given to two names: " + ascii(given));
        }
    }
}

using Operation = void (*)(FuzzInput&);

const Operation kOperations[] = {numberTexts,  integerTexts,  rounding,   styledTexts, conversions,
                                 reportFields, stringEditing, formatting, shortDate,   numericNames};

}  // namespace

void runContractsInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    constexpr std::size_t kCount = sizeof kOperations / sizeof kOperations[0];
    for (int i = 0; i < 64 && !input.exhausted(); ++i) kOperations[input.pick(kCount)](input);
}

}  // namespace fuzzing
