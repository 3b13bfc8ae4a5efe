#pragma once

#include <cstdint>

// How the Access reader (the program ledgerloom-access-reader, which reads one file with libmdb
// in a process of its own) hands what it read to the program over a pipe. Plain C++: the reader
// is built without Qt.
//
// A frame: 4 bytes little-endian, the size of the payload; 1 byte, its kind; the payload.
// Numbers in payloads are 4 bytes little-endian, texts are UTF-8 after their size.
namespace AccessFrames {
enum Kind : char {
    TableName = 'T', // a user table: its name (the whole payload); one frame per table
    Columns = 'C',   // per column: 1 byte of Flags, its name's size and name
    Row = 'R',       // per column not Skipped: the value's size and bytes; NoValue: no value
    End = 'E',       // all was read; nothing follows
    Problem = 'P',   // what is wrong with the file, to follow "The Access file '...' "; nothing
                     // follows
};

enum Flags : uint8_t {
    YesNo = 1,     // a Yes/No column: values 1 and 0
    Multiline = 2, // a long text (memo) column
    Skipped = 4,   // pictures or other binary data: no values are sent
};

constexpr uint32_t NoValue = 0xffffffffu;
constexpr uint32_t HeaderSize = 5;
// No frame is larger: a row of 255 long texts of the longest length read, with room to spare.
constexpr uint32_t MaxPayload = 64u << 20;
// Long texts are read whole up to this many bytes.
constexpr uint32_t MaxValue = 200000;
} // namespace AccessFrames
