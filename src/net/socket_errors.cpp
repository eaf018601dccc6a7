#include "socket_errors.h"

namespace net::detail {

namespace {

int networkErrorNumber(const QString& text) {
    if (text.contains(QLatin1String("Network unreachable"), Qt::CaseInsensitive))
        return 10051;
    if (text.contains(QLatin1String("Host unreachable"), Qt::CaseInsensitive))
        return 10065;
    if (text.contains(QLatin1String("timed out"), Qt::CaseInsensitive))
        return 10060;
    return 10050; // the network failed in some other way
}

} // namespace

int errorNumber(QAbstractSocket::SocketError error, const QString& text) {
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        return 10061;
    case QAbstractSocket::RemoteHostClosedError:
        return 10054;
    case QAbstractSocket::HostNotFoundError:
        return 11001;
    case QAbstractSocket::SocketAccessError:
        return 10013;
    case QAbstractSocket::SocketResourceError:
        return 10055;
    case QAbstractSocket::SocketTimeoutError:
        return 10060;
    case QAbstractSocket::DatagramTooLargeError:
        return 10040;
    case QAbstractSocket::AddressInUseError:
        return 10048;
    case QAbstractSocket::SocketAddressNotAvailableError:
        return 10049;
    case QAbstractSocket::UnsupportedSocketOperationError:
        return 10047;
    case QAbstractSocket::OperationError:
        return 40020;
    case QAbstractSocket::NetworkError:
        return networkErrorNumber(text);
    default:
        return 10050;
    }
}

} // namespace net::detail
