#pragma once

#include <stdexcept>
#include <string>

namespace reportengine::stream {

// What the user sees for any damage found in a recorded report.
inline constexpr const char* kUnexpectedCode = "Unexpected code found in report file.";

// Every failure of the report stream codec. what() is the message for the
// user; detail() says what was wrong and where, for logs and tests.
class StreamError : public std::runtime_error {
public:
    explicit StreamError(const std::string& message, std::string detail = {})
        : std::runtime_error(message), m_detail(std::move(detail))
    {
    }
    const std::string& detail() const { return m_detail; }

private:
    std::string m_detail;
};

} // namespace reportengine::stream
