// bench/bench_stream.cpp - rFile against the standard library and plain system calls: reading a
// text file line by line, and copying a 2 MB file.
#include "rstream.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

// Fixture files in a fresh temporary directory, removed at exit.
struct StreamFiles {
    std::string dir, lines, blob, copy;
    StreamFiles() {
        const char* base = std::getenv("TMPDIR");
        std::string pattern =
            std::string(base != nullptr && *base != 0 ? base : "/tmp") + "/bench-stream-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr)
            std::abort();
        dir = pattern;
        lines = dir + "/lines.txt";
        blob = dir + "/blob.bin";
        copy = dir + "/copy.bin";
        std::ofstream text(lines, std::ios::binary);
        for (int i = 0; i < 50000; ++i)
            text << "Mods\\Collection " << i << " - a description line of the usual length\r\n";
        std::ofstream bin(blob, std::ios::binary);
        std::string block(4096, 0);
        for (int i = 0; i < 512; ++i) { // 2 MB
            for (size_t j = 0; j < block.size(); ++j)
                block[j] = char(i * 31 + j);
            bin.write(block.data(), std::streamsize(block.size()));
        }
    }
    ~StreamFiles() {
        unlink(lines.c_str());
        unlink(blob.c_str());
        unlink(copy.c_str());
        rmdir(dir.c_str());
    }
};

const StreamFiles& files() {
    static StreamFiles instance;
    return instance;
}

void readLinesRFile(benchmark::State& state) {
    const std::string& name = files().lines;
    for (auto _ : state) {
        rFile f;
        f.open(name.c_str(), rFile::modeRead);
        rString line;
        size_t count = 0, bytes = 0;
        while (f.readLine(line)) {
            ++count;
            bytes += line.length();
        }
        bytes += line.length();
        benchmark::DoNotOptimize(count);
        benchmark::DoNotOptimize(bytes);
    }
}
BENCHMARK(readLinesRFile);

void readLinesIfstream(benchmark::State& state) {
    const std::string& name = files().lines;
    for (auto _ : state) {
        std::ifstream in(name, std::ios::binary);
        std::string line;
        size_t count = 0, bytes = 0;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            ++count;
            bytes += line.size();
        }
        benchmark::DoNotOptimize(count);
        benchmark::DoNotOptimize(bytes);
    }
}
BENCHMARK(readLinesIfstream);

void copyRFile(benchmark::State& state) {
    for (auto _ : state) {
        rFile src, dst;
        src.open(files().blob.c_str(), rFile::modeRead);
        dst.open(files().copy.c_str(), rFile::modeRewrite);
        if (!dst.copyFrom(src, -1))
            state.SkipWithError("copy failed");
        dst.close();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * 2 * 1024 * 1024);
}
BENCHMARK(copyRFile);

void copyReadWriteLoop(benchmark::State& state) {
    std::string buffer(65536, 0);
    for (auto _ : state) {
        const int in = ::open(files().blob.c_str(), O_RDONLY);
        const int out = ::open(files().copy.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        ssize_t n;
        while ((n = ::read(in, buffer.data(), buffer.size())) > 0)
            if (::write(out, buffer.data(), size_t(n)) != n)
                state.SkipWithError("copy failed");
        ::close(in);
        ::close(out);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * 2 * 1024 * 1024);
}
BENCHMARK(copyReadWriteLoop);

} // namespace
