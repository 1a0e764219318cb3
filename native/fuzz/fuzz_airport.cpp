// APT.dat and Radio.dat as any bytes, fed in pieces of any size:
//  - the line splitter hands on exactly the lines that splitting the whole stream at once gives;
//  - every airport line gives a pass 0-5 and an ident of at most four characters, every radio
//    list at most 16 positive, finite frequencies;
//  - a number field reads as strtod reads it (the fast path for plain decimals included).
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "airport/airport_records.h"

namespace {

// The lines a stream holds: cut at line feeds, a carriage return before the feed dropped,
// lines longer than the limit left out, each line ending at its first NUL.
std::vector<std::string> ReferenceLines(const uint8_t* data, size_t size, size_t limit) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t i = 0; i <= size; ++i) {
        if (i < size && data[i] != '\n') continue;
        if (i == size && start == size) break;  // nothing after the last feed
        std::string line(reinterpret_cast<const char*>(data) + start, i - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.size() <= limit) lines.push_back(line.substr(0, strlen(line.c_str())));
        start = i + 1;
    }
    return lines;
}

std::vector<std::string> SplitInPieces(const uint8_t* data, size_t size, size_t limit, size_t piece) {
    std::vector<std::string> lines;
    LineSplitter splitter(limit);
    auto collect = [&](const char* line) {
        lines.emplace_back(line);
        return true;
    };
    for (size_t at = 0; at < size; at += piece) {
        size_t n = size - at < piece ? size - at : piece;
        std::vector<char> chunk(data + at, data + at + n);  // exact size: overreads are caught
        splitter.Feed(chunk.data(), chunk.size(), collect);
    }
    splitter.Finish(collect);
    return lines;
}

// Field 2 is the third comma-separated column; built so that the column is the fuzzed text.
void CheckNumberField(const std::string& line) {
    std::string field = line.substr(0, line.find_first_of(",\"\n"));
    std::string record = "X,1," + field;
    std::string limited = field.substr(0, kNumberFieldLimit);
    double expected = strtod(limited.c_str(), nullptr);
    float want = std::isfinite(expected) && std::fabs(expected) <= FLT_MAX ? (float)expected : 0.0f;
    float got = CsvField(record.c_str(), 2);
    if (memcmp(&got, &want, sizeof got) != 0 && !(got == 0 && want == 0)) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    const size_t piece = 1 + data[0] % 64;
    const bool radio = data[1] & 1;
    const size_t limit = radio ? kRadioLineLimit : kAirportLineLimit;
    GeoPosition aircraft;
    aircraft.Latitude = ((int)data[2] - 128) / 81.0;
    aircraft.Longitude = ((int)data[2] - 128) / 40.0;
    data += 3;
    size -= 3;

    std::vector<std::string> lines = SplitInPieces(data, size, limit, piece);
    if (lines != ReferenceLines(data, size, limit)) abort();

    NearestAirportScan scan(aircraft);
    char ident[5] = "EDDF";
    if (!lines.empty()) CopyLineIdent(lines[0].c_str(), ident);
    FrequencyCollector radios(ident);
    for (const std::string& line : lines) {
        std::vector<char> exact(line.c_str(), line.c_str() + line.size() + 1);
        scan.Offer(exact.data());
        radios.Offer(exact.data());
        CheckNumberField(line);
        for (int n = 0; n < 8; ++n)
            if (!std::isfinite(CsvField(exact.data(), n))) abort();
    }
    if (scan.Pass() < 0 || scan.Pass() > kSearchPasses || strlen(scan.Ident()) > 4) abort();
    if (radios.Count() < 0 || radios.Count() > kFrequencyTableSize) abort();
    for (int i = 0; i < radios.Count(); ++i) {
        float f = radios.Entries()[i].Frequency;
        if (!(f > 0) || !std::isfinite(f)) abort();
    }
    return 0;
}
