#pragma once
// Records of the airport list (APT.dat) and the radio list (Radio.dat), and the nearest-airport
// rule. Portable code with no Windows dependency: the plug-in, the native fuzzers and the
// benchmark share it.
#include <cstddef>
#include <cstring>

#include "simlink/aircraft_position.h"


struct FrequencyEntry {
    float Frequency;  // MHz; 0 ends the list
    int Type;         // FrequencyType, or any other code the radio list holds
};
constexpr int kFrequencyTableSize = 16;

enum FrequencyType : int {
    FrequencyAtis = 1,
    FrequencyMulticom = 2,
    FrequencyUnicom = 3,
    FrequencyCtaf = 4,
    FrequencyGround = 5,
    FrequencyTower = 6,
    FrequencyDelivery = 7,
    FrequencyApproach = 8,
    FrequencyDeparture = 9,
    FrequencyCenter = 10,
    FrequencyFss = 11,
    FrequencyAwos = 12
};
// "ATIS" ... "AWOS" for the codes 1-12, null for any other.
const char* FrequencyTypeLabel(int type);

// Longest line of each file, without its line end.
constexpr size_t kAirportLineLimit = 511;
constexpr size_t kRadioLineLimit = 63;
// A field read as a number holds at most this many characters.
constexpr size_t kNumberFieldLimit = 255;
constexpr int kSearchPasses = 5;

// The number in field n (1 or more) of a record, 0 when the line has fewer fields. Text that is
// not a finite number within float range reads as 0.
float CsvField(const char* line, int n);

// Great-circle angle between two positions, radians.
double CentralAngle(const GeoPosition& a, const GeoPosition& b);

// Radius of search pass 1-5 (1, 2, 3, 100, 200 nm as a central angle).
double SearchRadius(int pass);
// The first pass whose radius strictly holds the angle; 0 when none does.
int SearchPassOf(double angle);

// The airport position of an APT.dat line; false for lines shorter than 5 characters, which
// the search skips.
bool AirportPosition(const char* line, GeoPosition* position);

// The nearest-airport search in one read of APT.dat. For every radius the first airport in
// file order within it is a candidate; the smallest radius that has one wins, which is what
// reading the file once per radius gives.
class NearestAirportScan {
public:
    explicit NearestAirportScan(const GeoPosition& aircraft) : aircraft_(aircraft) {}
    // Offers the next line; false once no later line can change the result.
    bool Offer(const char* line);
    // The same with the line's angle already known.
    bool OfferAngle(double angle, const char* line);
    int Pass() const { return pass_; }          // 0 while nothing was found
    const char* Ident() const { return ident_; }  // first four characters of the chosen line

private:
    GeoPosition aircraft_;
    int pass_ = 0;
    char ident_[5] = {};
};

// The first four characters of a line (fewer when it is shorter) and a NUL into ident.
void CopyLineIdent(const char* line, char ident[5]);

// Whether needle occurs in text, ASCII letters compared without regard to case.
bool ContainsNoCase(const char* text, const char* needle);

// Radio.dat lines of one airport: every line holding the ident anywhere, the first 16 with a
// positive frequency, in file order.
class FrequencyCollector {
public:
    explicit FrequencyCollector(const char* ident) : ident_(ident) {}
    void Offer(const char* line);
    const FrequencyEntry* Entries() const { return entries_; }
    int Count() const { return count_; }

private:
    const char* ident_;
    FrequencyEntry entries_[kFrequencyTableSize] = {};
    int count_ = 0;
};

// Cuts a byte stream into lines at line feeds, dropping a carriage return before the feed.
// Lines longer than the limit are skipped whole; the stream is always read to its end. A line
// is handed on as a C string, so it ends at its first NUL byte.
class LineSplitter {
public:
    explicit LineSplitter(size_t limit) : limit_(limit < kAirportLineLimit ? limit : kAirportLineLimit) {}

    // onLine(const char*) gives false to stop; Feed then gives false.
    template <class OnLine>
    bool Feed(const char* data, size_t size, OnLine&& onLine) {
        while (size > 0) {
            auto feed = static_cast<const char*>(memchr(data, '\n', size));
            size_t chunk = feed ? static_cast<size_t>(feed - data) : size;
            Append(data, chunk);
            if (!feed) return true;
            data += chunk + 1;
            size -= chunk + 1;
            if (!EndLine(onLine)) return false;
        }
        return true;
    }

    // The last line when the stream does not end with a line feed.
    template <class OnLine>
    bool Finish(OnLine&& onLine) {
        if (length_ == 0 && !overflow_) return true;
        return EndLine(onLine);
    }

    size_t SkippedLines() const { return skipped_; }

private:
    void Append(const char* data, size_t size) {
        if (overflow_) return;
        // One more than the limit for a carriage return before the feed.
        if (size > limit_ + 1 - length_) {
            overflow_ = true;
            return;
        }
        memcpy(line_ + length_, data, size);
        length_ += size;
    }

    template <class OnLine>
    bool EndLine(OnLine&& onLine) {
        bool deliver = !overflow_;
        if (deliver && length_ > 0 && line_[length_ - 1] == '\r') --length_;
        if (length_ > limit_) deliver = false;
        line_[deliver ? length_ : 0] = 0;
        length_ = 0;
        overflow_ = false;
        if (!deliver) {
            ++skipped_;
            return true;
        }
        return onLine(static_cast<const char*>(line_));
    }

    size_t limit_;
    size_t length_ = 0;
    bool overflow_ = false;
    size_t skipped_ = 0;
    char line_[kAirportLineLimit + 2] = {};
};
