// ledgerloom-access-reader FILE [TABLE]: reads an Access file for Ledgerloom and writes what it
// read as frames on its standard output (see accessframes.h). libmdb, which does the
// reading, is C code that a damaged file can make crash, loop or allocate without end; the
// program runs this in a process of its own, under the limits set here, and ends it when it
// stops sending.
#include "accessreader/accessframes.h"
#include "accessreader/accessreader.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

namespace {
// Far more than reading any table takes: bind buffers of 255 long texts are 51 MB.
constexpr rlim_t MemoryLimit = rlim_t(512) << 20;
// A stuck reader is ended by the program long before; this ends one the program left behind.
constexpr rlim_t CpuSeconds = 600;
constexpr size_t FlushSize = 64 * 1024;
// Rows trickling in from a slow file still reach the program this often.
constexpr auto FlushInterval = std::chrono::milliseconds(100);

void limit(int resource, rlim_t value, rlim_t hard) {
    const rlimit limits{value, hard};
    setrlimit(resource, &limits);
}

// Frames to a pipe: rows in blocks, any other frame at once (the columns must not wait for a
// first row that never comes). When the program no longer reads, there is nothing left to do.
class PipeSink : public FrameSink {
  public:
    explicit PipeSink(int fd) : m_fd(fd) {}
    void write(const char* frame, size_t size) override {
        m_buffer.append(frame, size);
        if (frame[4] != AccessFrames::Row || m_buffer.size() >= FlushSize ||
            std::chrono::steady_clock::now() - m_flushed >= FlushInterval)
            flush();
    }
    void flush() {
        for (size_t done = 0; done < m_buffer.size();) {
            const ssize_t written = ::write(m_fd, m_buffer.data() + done, m_buffer.size() - done);
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0)
                _exit(1);
            done += size_t(written);
        }
        m_buffer.clear();
        m_flushed = std::chrono::steady_clock::now();
    }

  private:
    int m_fd;
    std::string m_buffer;
    std::chrono::steady_clock::time_point m_flushed = std::chrono::steady_clock::now();
};
} // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr,
                     "Usage: %s FILE [TABLE]\nReads a Microsoft Access file for "
                     "Ledgerloom, which starts it.\n",
                     argv[0]);
        return 2;
    }
    // The sanitizers' shadow memory alone is larger than any such limit.
#ifndef __SANITIZE_ADDRESS__
    limit(RLIMIT_AS, MemoryLimit, MemoryLimit);
#endif
    limit(RLIMIT_CPU, CpuSeconds, CpuSeconds + 5);
    limit(RLIMIT_CORE, 0, 0);
    // libmdb prints its warnings on the standard output: they go to the standard error.
    const int out = dup(STDOUT_FILENO);
    if (out < 0 || dup2(STDERR_FILENO, STDOUT_FILENO) < 0)
        return 1;
    PipeSink sink(out);
    readAccess(argv[1], argc == 3 ? argv[2] : nullptr, sink);
    sink.flush();
    return 0;
}
