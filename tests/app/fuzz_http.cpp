// Fuzzes the HTTP response parsers. Byte 0 picks the piece sizes the response (the rest) is fed
// in and, with its top bit, repeats the response until it passes the header limit.
#include "http_protocol.h"

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

QByteArray responseOf(const uint8_t* data, size_t size, uint8_t control) {
    QByteArray response(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    if ((control & 0x80) && !response.isEmpty()) {
        const qsizetype target = http::HeaderCollector::kMaxHeaderBytes + 64;
        response = response.repeated(target / response.size() + 1);
    }
    return response;
}

// Feeds the response in pieces and checks each answer against the whole response.
void checkCollector(const QByteArray& response, uint8_t control) {
    const qsizetype limit = http::HeaderCollector::kMaxHeaderBytes;
    const qsizetype blank = response.indexOf("\r\n\r\n");
    const qsizetype step = 1 + (control & 0x7F) * 37;
    http::HeaderCollector collector;
    qsizetype fed = 0;
    while (fed < response.size()) {
        const qsizetype piece = qMin(step + fed % 7, response.size() - fed);
        QByteArray body;
        const auto result = collector.Feed(response.mid(fed, piece), body);
        fed += piece;
        const bool blankFed = blank >= 0 && blank + 4 <= fed;
        if (blankFed && blank <= limit) {
            // Complete exactly when the blank line has arrived, and nothing is lost.
            check(result == http::HeaderCollector::Result::Complete);
            check(collector.header() == response.left(blank));
            check(collector.header() + "\r\n\r\n" + body == response.left(fed));
            return;
        }
        if (blankFed || fed > limit + 3) {
            check(result == http::HeaderCollector::Result::TooLarge);
            return;
        }
        check(result == http::HeaderCollector::Result::NeedMore);
        check(body.isEmpty());
    }
}

void checkFields(const QByteArray& header) {
    if (const auto status = http::ParseStatusLine(header)) {
        check(status->code >= 100 && status->code <= 999);
        check(header.startsWith(status->line) && !status->line.contains("\r\n"));
    }
    for (const char* name : {"Content-Length:", "Content-Range:", "Location:", "content-type"}) {
        const QByteArray value = http::GetHeaderValue(header, name);
        check(!value.contains("\r\n")); // one header line; a lone CR or LF stays in it
        check(value == value.trimmed());
        check(value.isEmpty() || header.contains(value));
    }
    const QByteArray length = http::GetHeaderValue(header, "Content-Length:");
    if (const auto n = http::ParseContentLength(length)) {
        check(*n >= 0);
        check(length.toLongLong() == *n);
    }
    if (const auto first =
            http::ParseContentRangeStart(http::GetHeaderValue(header, "Content-Range:")))
        check(*first >= 0);
    const QString next =
        http::ResolveLocation("http://h/a/b", http::GetHeaderValue(header, "Location:"));
    check(next.isEmpty() || next.startsWith("http", Qt::CaseInsensitive));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const QByteArray response = responseOf(data + 1, size - 1, data[0]);
    checkCollector(response, data[0]);
    const qsizetype blank = response.indexOf("\r\n\r\n");
    checkFields(blank < 0 ? response.left(http::HeaderCollector::kMaxHeaderBytes)
                          : response.left(blank));
    return 0;
}
