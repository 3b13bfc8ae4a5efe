#pragma once

#include <string>
#include <vector>

// Column widths as Excel's AutoFit gives them: wide enough for the widest line of the heading
// and of every value, measured in the default font (Calibri 11) at 96 DPI.
class ColumnFit {
  public:
    explicit ColumnFit(int columns) : m_pixels(size_t(columns > 0 ? columns : 0), 0) {}

    int columns() const { return int(m_pixels.size()); }
    void measure(int column, const char* utf8, int bytes);
    // Headings are bold, and bold letters are wider.
    void measureHeading(int column, const char* utf8, int bytes);
    // In Excel's character units, at most 255; the standard width when nothing was measured.
    double width(int column) const;

    // Pixels of the widest line of the text.
    static int textPixels(const char* utf8, int bytes);

    // Excel holds at most 32,767 characters in a cell: the text cut to that, or the empty
    // text when it fits as it is.
    static std::string fitCellLimit(const char* utf8, int bytes);

  private:
    std::vector<int> m_pixels;
};
