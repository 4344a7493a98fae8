// The menu's bottom text: a translator's printf-style format filled in with the item count.
#include "engine/engine.h"

#include <cstring>

namespace {

// Widths and precisions are read up to this bound: printf takes none beyond INT_MAX, so
// every one it takes is read exactly, and larger ones all pad past the buffer alike.
constexpr std::int64_t kMaxField = std::int64_t{1} << 40;
constexpr std::size_t kDigitsSize = 16; // the 11 octal digits of a 32-bit value, and room
constexpr const char* kFlagChars = "-+ #0";
constexpr const char* kConversionChars = "diouxX";

// What a length modifier does to the count: hh and h narrow it to a char or a short; every
// other modifier names a type that holds any 32-bit value, signed or unsigned, unchanged.
enum class Length { kChar, kShort, kFull };

// One integer conversion as written: flags, width, precision, length, conversion.
struct Conversion {
    bool leftAlign, plusSign, blankSign, alternate, zeroPad;
    std::int64_t width;
    std::int64_t precision; // -1 when none is written
    Length length;
    char type;
    const char* next; // the first byte after the conversion
};

// The field printf writes: blanks, sign or 0x, zeros, digits (or the blanks last).
struct Field {
    char lead[2];
    std::size_t leadLength;
    std::int64_t zeros;
    char digits[kDigitsSize];
    std::size_t digitCount;
    std::int64_t blanks;
    bool blanksLast;
};

// Reads a run of decimal digits at p, saturating at kMaxField, and moves p past it.
std::int64_t ReadNumber(const char*& p) {
    std::int64_t value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + (*p - '0');
        if (value > kMaxField) value = kMaxField;
    }
    return value;
}

// Reads a length modifier at p (hh h l ll j z t L, or none) and moves p past it.
Length ReadLength(const char*& p) {
    if (p[0] == 'h' && p[1] == 'h') {
        p += 2;
        return Length::kChar;
    }
    if (p[0] == 'h') {
        ++p;
        return Length::kShort;
    }
    if (p[0] == 'l' && p[1] == 'l')
        p += 2;
    else if (*p != 0 && std::strchr("ljztL", *p) != nullptr)
        ++p;
    return Length::kFull;
}

// Reads the conversion whose '%' is at p. False unless it is an integer conversion with
// a written width and precision; then the '%' stands for itself.
bool ReadConversion(const char* p, Conversion* conversion) {
    *conversion = {};
    for (++p; *p != 0 && std::strchr(kFlagChars, *p) != nullptr; ++p) {
        conversion->leftAlign |= *p == '-';
        conversion->plusSign |= *p == '+';
        conversion->blankSign |= *p == ' ';
        conversion->alternate |= *p == '#';
        conversion->zeroPad |= *p == '0';
    }
    conversion->width = ReadNumber(p);
    conversion->precision = -1;
    if (*p == '.') conversion->precision = ReadNumber(++p);
    conversion->length = ReadLength(p);
    conversion->type = *p;
    conversion->next = p + 1;
    return *p != 0 && std::strchr(kConversionChars, *p) != nullptr;
}

bool IsSigned(const Conversion& conversion) {
    return conversion.type == 'd' || conversion.type == 'i';
}

bool IsHex(const Conversion& conversion) {
    return conversion.type == 'x' || conversion.type == 'X';
}

// The count converted to the conversion's type, as printf reads it: a negative count is
// a large unsigned value for o, u, x and X, and hh and h keep its low 8 or 16 bits.
std::int64_t ConvertCount(std::int32_t count, const Conversion& conversion) {
    const bool isSigned = IsSigned(conversion);
    if (conversion.length == Length::kChar) {
        return isSigned ? static_cast<signed char>(count) : static_cast<unsigned char>(count);
    }
    if (conversion.length == Length::kShort) {
        return isSigned ? static_cast<short>(count) : static_cast<unsigned short>(count);
    }
    return isSigned ? std::int64_t{count} : std::int64_t{static_cast<std::uint32_t>(count)};
}

// Writes the digits of magnitude in the conversion's base into field; zero with a
// precision of 0 has no digits at all.
void PutDigits(std::uint64_t magnitude, const Conversion& conversion, Field* field) {
    if (magnitude == 0 && conversion.precision == 0) return;
    const unsigned base = conversion.type == 'o' ? 8 : IsHex(conversion) ? 16 : 10;
    const char* symbols = conversion.type == 'X' ? "0123456789ABCDEF" : "0123456789abcdef";
    char reversed[kDigitsSize];
    std::size_t count = 0;
    do {
        reversed[count++] = symbols[magnitude % base];
        magnitude /= base;
    } while (magnitude != 0);
    for (std::size_t i = 0; i < count; ++i)
        field->digits[i] = reversed[count - 1 - i];
    field->digitCount = count;
}

// The sign of a signed conversion, or the 0x of %#x and %#X for a value other than zero.
void PutLead(std::int64_t value, const Conversion& conversion, Field* field) {
    char sign = 0;
    if (IsSigned(conversion)) {
        sign = value < 0 ? '-' : conversion.plusSign ? '+' : conversion.blankSign ? ' ' : '\0';
    }
    if (sign != 0) field->lead[field->leadLength++] = sign;
    if (conversion.alternate && value != 0 && IsHex(conversion)) {
        field->lead[field->leadLength++] = '0';
        field->lead[field->leadLength++] = conversion.type;
    }
}

// Lays out the field printf writes for the count: precision zeros, the leading zero of
// %#o, then the width filled with zeros (flag 0 without '-' or precision) or blanks.
Field LayOut(std::int32_t count, const Conversion& conversion) {
    Field field = {};
    const std::int64_t value = ConvertCount(count, conversion);
    PutDigits(static_cast<std::uint64_t>(value < 0 ? -value : value), conversion, &field);
    PutLead(value, conversion, &field);
    const auto digits = static_cast<std::int64_t>(field.digitCount);
    if (conversion.precision > digits) field.zeros = conversion.precision - digits;
    if (conversion.type == 'o' && conversion.alternate && field.zeros == 0 &&
        (value != 0 || digits == 0)) {
        field.zeros = 1;
    }
    const std::int64_t body = static_cast<std::int64_t>(field.leadLength) + field.zeros + digits;
    const std::int64_t fill = conversion.width > body ? conversion.width - body : 0;
    const bool zeroFill = conversion.zeroPad && !conversion.leftAlign && conversion.precision < 0;
    (zeroFill ? field.zeros : field.blanks) += fill;
    field.blanksLast = conversion.leftAlign;
    return field;
}

// The output buffer, filled from the front; the last byte is kept for the terminator.
struct Output {
    char* text;
    std::size_t size;
    std::size_t used;
};

// Appends n bytes c, or as many as there is room for.
void PutRun(Output& out, char c, std::int64_t n) {
    const std::size_t room = out.size - 1 - out.used;
    const std::size_t count =
        n < static_cast<std::int64_t>(room) ? static_cast<std::size_t>(n) : room;
    std::memset(out.text + out.used, c, count);
    out.used += count;
}

// Appends n bytes of text, or as many as there is room for.
void PutText(Output& out, const char* text, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i)
        PutRun(out, text[i], 1);
}

// Appends the field in printf's order, as much of it as there is room for.
void PutField(Output& out, const Field& field) {
    if (!field.blanksLast) PutRun(out, ' ', field.blanks);
    PutText(out, field.lead, field.leadLength);
    PutRun(out, '0', field.zeros);
    PutText(out, field.digits, field.digitCount);
    if (field.blanksLast) PutRun(out, ' ', field.blanks);
}

} // namespace

void FormatCount(char* out, std::size_t size, const char* format, std::int32_t count) {
    if (size == 0) return;
    Output output = {out, size, 0};
    bool converted = false;
    Conversion conversion;
    for (const char* p = format == nullptr ? "" : format; *p != 0;) {
        if (p[0] == '%' && p[1] == '%') {
            PutRun(output, '%', 1);
            p += 2;
        } else if (p[0] == '%' && !converted && ReadConversion(p, &conversion)) {
            PutField(output, LayOut(count, conversion));
            converted = true;
            p = conversion.next;
        } else {
            PutRun(output, *p++, 1);
        }
    }
    out[output.used] = 0;
}
