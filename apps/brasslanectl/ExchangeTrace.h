#pragma once

// Watches every frame on the command link: writes the trace that --trace asks for and keeps
// the outcome of each command, so that a failed operation that only reports true or false can
// still be told apart from a file error and named by its DeviceStatus.
//
// Trace format, one line per frame: "> " and the 64 request bytes, then "< " and the 64 answer
// bytes, or "< timeout" when no answer came (a request that could not be written gets no answer
// either). Bytes are two lower-case hexadecimal digits separated by single spaces. A frame sent
// without reading an answer has only its ">" line.

#include "core/device/DeviceLink.h"

#include <array>
#include <cstddef>
#include <optional>
#include <ostream>
#include <span>

namespace brasslane::cli {

class ExchangeTrace : public FrameObserver {
public:
    // `out` (may be null: nothing is written) must outlive the trace; every line is flushed.
    explicit ExchangeTrace(std::ostream* out = nullptr) : m_out(out) {}
    void SetOutput(std::ostream* out) { m_out = out; }

    void OnRequest(std::span<const std::uint8_t> request) override;
    void OnAnswer(std::optional<std::span<const std::uint8_t>> answer) override;

    // Commands that failed so far: a request the link gave up on without an answer, or an
    // answer that refused the command. Only call it between operations: a request still
    // waiting for its answer counts as failed.
    std::size_t Failures();
    // The DeviceStatus of the last failure (kStatusNoAnswer for a command without an answer);
    // kStatusNoAnswer when none failed, which is what a link that is not connected does too.
    DeviceStatus LastFailure();
    // False once a trace line could not be written.
    bool TraceWritten() const { return m_traceOk; }

private:
    void Fail(DeviceStatus status);
    void Settle();
    void WriteLine(const std::string& line);

    std::ostream* m_out;
    bool m_traceOk = true;
    std::array<std::uint8_t, kFrameSize> m_lastRequest{};
    bool m_awaitingAnswer = false; // a request without any answer call yet
    bool m_unanswered = false;     // the last request's last attempt got no answer
    int m_attempts = 0;            // attempts of the last request that got no answer
    std::size_t m_failures = 0;
    DeviceStatus m_lastFailure = kStatusNoAnswer;
};

} // namespace brasslane::cli
