#pragma once

#include <cstddef>

// Where the reader's frames (accessframes.h) go.
class FrameSink {
  public:
    virtual ~FrameSink() = default;
    // One whole frame.
    virtual void write(const char* frame, size_t size) = 0;
};

// Reads the Microsoft Access database (Jet 3, Jet 4 or ACE) at path with libmdb: without a
// table, the names of its user tables; with one, that table's columns and rows. Text comes as
// UTF-8, dates as "YYYY-MM-DD HH:MM:SS", Yes/No values as 1 and 0; binary columns are named but
// send no values. Everything ends with an End frame, or a Problem frame that says what is wrong
// with the file (cut off, damaged, protected with a password, no Access file at all).
void readAccess(const char* path, const char* table, FrameSink& out);
