// Fuzzes the control-connection parsers: reply codes, the PWD path and the PASV address.
#include "ftp_errors.h"
#include "ftp_replies.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray reply(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    try {
        const qint16 code = ftp::GetReplyCode(reply);
        if (code < 0 || code > 999)
            std::abort();
        if (reply.size() > 2 && ftp::PieceCode(reply) != code)
            std::abort();
    } catch (const ftp::RuntimeError& e) {
        if (e.number() != ftp::kErrTypeMismatch || ftp::PieceCode(reply))
            std::abort();
    }
    if (const auto path = ftp::PwdPath(reply);
        path && (path->contains('"') || path->size() >= reply.size()))
        std::abort();
    try {
        const ftp::PassiveAddress address = ftp::ParsePasvReply(reply);
        if (address.port == 0 || address.host.count('.') != 3)
            std::abort();
    } catch (const ftp::RuntimeError&) {
    }
    return 0;
}
