#pragma once
// The framework's exceptions and its standard error report text.
#include <stdexcept>
#include <string>
#include <string_view>

namespace forms {

class Exception : public std::exception {
public:
    explicit Exception(std::string message) : message_(std::move(message)) {}
    const std::string& Message() const { return message_; }
    const char* what() const noexcept override { return message_.c_str(); }

private:
    std::string message_;
};

// Silent exception: the message loop drops it without a report.
class EAbort : public Exception {
public:
    EAbort() : Exception("") {}
    explicit EAbort(std::string message) : Exception(std::move(message)) {}
};

// The text of the standard error report for a UTF-8 message: a "." is appended when the message
// is not empty and its last character (a multi-byte character counting as one) compares greater
// than "." byte by byte.
std::string ErrorReportText(std::string_view message);

} // namespace forms
