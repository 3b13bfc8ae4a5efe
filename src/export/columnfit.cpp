#include "export/columnfit.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {
constexpr double MaxWidth = 255;       // Excel's widest column, in characters
constexpr double StandardWidth = 8.43; // a column nobody fitted
constexpr int CellPadding = 7;         // AutoFit leaves this much room beside the text
constexpr int MaxCellChars = 32767;
constexpr int WidestAsciiPixels = 12; // no byte of UTF-8 text draws wider than this
constexpr int OtherLetterPixels = 8;
constexpr int WideLetterPixels = 15; // ideographs, kana, hangul, full-width forms

// Calibri 11 at 96 DPI, for the printable ASCII characters from the blank on.
constexpr std::array<unsigned char, 95> AsciiPixels = {
    3, 3, 5, 7, 7, 10, 10, 3,  4,  4, 7, 7, 4, 4, 4, 5,  7, 7, 7, 7, 7, 7,  7, 7,
    7, 7, 4, 4, 7, 7,  7,  6,  12, 8, 7, 7, 8, 6, 6, 8,  8, 3, 4, 7, 6, 11, 9, 9,
    7, 9, 7, 6, 6, 8,  8,  12, 7,  7, 6, 4, 5, 4, 7, 7,  4, 7, 7, 6, 7, 7,  4, 6,
    7, 3, 3, 6, 3, 11, 7,  7,  7,  7, 5, 5, 4, 7, 6, 10, 6, 6, 5, 4, 7, 4,  7};

bool wideLetter(char32_t c) {
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) ||
           (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
           (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
           (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
}

// Length of the UTF-8 sequence a lead byte starts, and the code point it holds.
int decode(const unsigned char* s, int left, char32_t& c) {
    const unsigned char b = s[0];
    int length = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
    length = std::min(length, left);
    c = length == 1 ? b : b & (0x7F >> length);
    for (int i = 1; i < length; ++i)
        c = (c << 6) | (s[i] & 0x3F);
    return length;
}
} // namespace

int ColumnFit::textPixels(const char* utf8, int bytes) {
    const auto* s = reinterpret_cast<const unsigned char*>(utf8);
    int widest = 0, line = 0;
    for (int i = 0; i < bytes;) {
        const unsigned char b = s[i];
        if (b < 0x80) {
            if (b == '\n') {
                widest = std::max(widest, line);
                line = 0;
            } else if (b >= 0x20 && b < 0x7F) {
                line += AsciiPixels[b - 0x20];
            }
            ++i;
            continue;
        }
        char32_t c = 0;
        i += decode(s + i, bytes - i, c);
        line += wideLetter(c) ? WideLetterPixels : OtherLetterPixels;
    }
    return std::max(widest, line);
}

void ColumnFit::measure(int column, const char* utf8, int bytes) {
    int& widest = m_pixels[size_t(column)];
    // Most values cannot beat the widest one so far; they are not measured.
    if (bytes * WidestAsciiPixels <= widest)
        return;
    widest = std::max(widest, textPixels(utf8, bytes));
}

void ColumnFit::measureHeading(int column, const char* utf8, int bytes) {
    const int pixels = int(std::ceil(textPixels(utf8, bytes) * 1.07));
    m_pixels[size_t(column)] = std::max(m_pixels[size_t(column)], pixels);
}

double ColumnFit::width(int column) const {
    const int pixels = m_pixels[size_t(column)];
    if (pixels == 0)
        return StandardWidth;
    // A column of w characters is w × 7 + 5 pixels wide in the default font.
    const double width = (pixels + CellPadding - 5) / 7.0;
    return std::min(MaxWidth, std::round(width * 100) / 100);
}

std::string ColumnFit::fitCellLimit(const char* utf8, int bytes) {
    if (bytes <= MaxCellChars)
        return {};
    const auto* s = reinterpret_cast<const unsigned char*>(utf8);
    int chars = 0, i = 0;
    while (i < bytes && chars < MaxCellChars) {
        char32_t c = 0;
        i += decode(s + i, bytes - i, c);
        ++chars;
    }
    if (i >= bytes)
        return {};
    return std::string(utf8, size_t(i));
}
