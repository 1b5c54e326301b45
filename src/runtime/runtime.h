// The run-time rules the program's code relies on: one error type for
// run-time errors, 16-bit arithmetic that fails on overflow, number
// conversions of text, fixed-bound arrays, and the guard that catches an
// error at the event boundary, reports it and lets the program go on.
#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace rt {

// Error numbers of the run-time errors the program raises.
enum ErrorNumber {
    kErrOverflow = 6,
    kErrSubscript = 9,
    kErrTypeMismatch = 13,
    kErrCancel = 32755,   // a common dialog was cancelled
    kErrFileNotFound = 53,
    kErrPathNotFound = 76,
    kErrInputPastEnd = 62,
    kErrFileIo = 75,
    kErrInvalidCall = 5,
};

class RuntimeError : public std::runtime_error {
public:
    RuntimeError(int number, const std::string& text) : std::runtime_error(text), number_(number) {}
    int number() const { return number_; }

private:
    int number_;
};

[[noreturn]] void raise(int number, const std::string& detail = std::string());

// 16-bit signed values and the checked operations on them.
using i16 = int16_t;
i16 toI16(long long v);                 // overflow error outside -32768..32767
i16 add16(long long a, long long b);
i16 mul16(long long a, long long b);
// Rounds halves to even, then checks the 16-bit range.
i16 CInt(double v);
double roundHalfEven(double v);
long long Int(double v);                // floor; overflow error when not finite

// Leading numeric part of a text ("  12abc" -> 12, "abc" -> 0, "1.5e1x" -> 15).
double Val(const QString& text);
// A whole 16-bit number from text with blanks around it; anything else is a
// type-mismatch error (how a number line of a settings file is read).
i16 parseI16Strict(const QString& text);
// Decimal digits as the runtime prints a number to a file: " 3 ", "-1 ".
QString printNumber(long long v);
// Upper-case hexadecimal.
QString Hex(long long v);

// Fixed-bound array 0..N-1 whose index is checked.
template <typename T, std::size_t N>
class FixedArray {
public:
    FixedArray() { data_.fill(T{}); }
    T& operator[](long long i) { return data_[check(i)]; }
    const T& operator[](long long i) const { return data_[check(i)]; }
    T& operator()(long long i) { return (*this)[i]; }
    const T& operator()(long long i) const { return (*this)[i]; }
    static constexpr std::size_t size() { return N; }
    void fill(const T& v) { data_.fill(v); }

private:
    static std::size_t check(long long i) {
        if (i < 0 || i >= static_cast<long long>(N)) raise(kErrSubscript);
        return static_cast<std::size_t>(i);
    }
    std::array<T, N> data_;
};

// Fixed-bound two-dimensional array R x C on the heap.
template <typename T, std::size_t R, std::size_t C>
class FixedArray2 {
public:
    FixedArray2() : data_(R * C) {}
    T& operator()(long long r, long long c) { return data_[check(r, c)]; }
    const T& operator()(long long r, long long c) const { return data_[check(r, c)]; }
    void fill(const T& v) { std::fill(data_.begin(), data_.end(), v); }
    bool operator==(const FixedArray2&) const = default;

private:
    static std::size_t check(long long r, long long c) {
        if (r < 0 || r >= static_cast<long long>(R) || c < 0 || c >= static_cast<long long>(C)) raise(kErrSubscript);
        return static_cast<std::size_t>(r) * C + static_cast<std::size_t>(c);
    }
    std::vector<T> data_;
};

// Runs a handler at the event boundary: a run-time error or any other
// exception is reported in a message box and the program goes on. A program
// end raised by test dialogs is recorded (see programEndRequested).
void guard(const std::function<void()>& handler);
// Set when a guarded handler ended the program under test dialogs.
bool programEndRequested();
int programEndCode();
void clearProgramEndRequest();

// Lets pending window events run (timer ticks that yield first).
void DoEvents();

}  // namespace rt
