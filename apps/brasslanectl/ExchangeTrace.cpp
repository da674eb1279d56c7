#include "ExchangeTrace.h"

#include <algorithm>
#include <string>

namespace brasslane::cli {

namespace {

// The link tries a request this many times before it gives up on an answer.
constexpr int kAttempts = 4;
constexpr std::size_t kStatusByte = 7;

std::string HexLine(char mark, std::span<const std::uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string line;
    line.reserve(2 + bytes.size() * 3);
    line.push_back(mark);
    for (const std::uint8_t byte : bytes) {
        line.push_back(' ');
        line.push_back(kDigits[byte >> 4]);
        line.push_back(kDigits[byte & 0xF]);
    }
    line.push_back('\n');
    return line;
}

} // namespace

void ExchangeTrace::Fail(DeviceStatus status) {
    ++m_failures;
    m_lastFailure = status;
}

// Called when the link has moved on: whatever the last request still waits for, it will not get.
void ExchangeTrace::Settle() {
    if (m_awaitingAnswer) {
        Fail(kStatusWriteFailed);
    } else if (m_unanswered) {
        Fail(kStatusNoAnswer);
    }
    m_awaitingAnswer = false;
    m_unanswered = false;
    m_attempts = 0;
}

void ExchangeTrace::WriteLine(const std::string& line) {
    if (m_out == nullptr) {
        return;
    }
    m_out->write(line.data(), static_cast<std::streamsize>(line.size()));
    m_out->flush();
    m_traceOk = m_traceOk && static_cast<bool>(*m_out);
}

void ExchangeTrace::OnRequest(std::span<const std::uint8_t> request) {
    const bool retry = m_unanswered && !m_awaitingAnswer && m_attempts < kAttempts &&
                       request.size() == m_lastRequest.size() &&
                       std::equal(request.begin(), request.end(), m_lastRequest.begin());
    if (!retry) {
        Settle();
    }
    std::fill(m_lastRequest.begin(), m_lastRequest.end(), std::uint8_t{0});
    std::copy_n(request.begin(), std::min(request.size(), m_lastRequest.size()), m_lastRequest.begin());
    m_awaitingAnswer = true;
    WriteLine(HexLine('>', request));
}

void ExchangeTrace::OnAnswer(std::optional<std::span<const std::uint8_t>> answer) {
    m_awaitingAnswer = false;
    if (!answer) {
        WriteLine("< timeout\n");
        m_unanswered = true;
        if (++m_attempts == kAttempts) {
            Settle();
        }
        return;
    }
    m_unanswered = false;
    m_attempts = 0;
    WriteLine(HexLine('<', *answer));
    if (answer->size() > kStatusByte && (*answer)[kStatusByte] == 0xFF) {
        Fail(kStatusRefusedFF);
    } else if (answer->size() > kStatusByte && (*answer)[kStatusByte] == 0xFE) {
        Fail(kStatusRefusedFE);
    }
}

std::size_t ExchangeTrace::Failures() {
    Settle();
    return m_failures;
}

DeviceStatus ExchangeTrace::LastFailure() {
    Settle();
    return m_lastFailure;
}

} // namespace brasslane::cli
