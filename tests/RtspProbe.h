// Plain RTSP over a loopback socket for the tests of the publishing back end under hostile
// clients: requests written by hand (Digest included), answers read whole.
#pragma once

#include <QCryptographicHash>
#include <QRegularExpression>
#include <QTcpSocket>

#include <sys/resource.h>

// One connection to the server at 127.0.0.1:_iPort.
class CLS_RtspProbe
{
public:
    explicit CLS_RtspProbe(int _iPort) : m_iPort(_iPort)
    {
        m_qsocket.connectToHost(QStringLiteral("127.0.0.1"), quint16(_iPort));
        m_qsocket.waitForConnected(3000);
    }

    QString Url(const QString& _qstrPath) const
    {
        return QStringLiteral("rtsp://127.0.0.1:%1%2").arg(m_iPort).arg(_qstrPath);
    }

    // Sends _qbaMethod for _qstrPath with _qbaHeaders and returns the answer's head, empty when
    // none comes within _iMs.
    QByteArray Ask(const QByteArray& _qbaMethod, const QString& _qstrPath, const QByteArray& _qbaHeaders = {},
                   int _iMs = 3000)
    {
        m_qsocket.write(_qbaMethod + ' ' + Url(_qstrPath).toUtf8() +
                        " RTSP/1.0\r\nCSeq: " + QByteArray::number(++m_iSeq) + "\r\n" + _qbaHeaders + "\r\n");
        return Answer(_iMs);
    }
    // The head of the next answer; its body is read and dropped.
    QByteArray Answer(int _iMs = 3000)
    {
        QElapsedTimer qtimer;
        qtimer.start();
        while (!m_qbaBuffer.contains("\r\n\r\n") && qtimer.elapsed() < _iMs &&
               m_qsocket.state() == QAbstractSocket::ConnectedState) {
            if (m_qsocket.waitForReadyRead(50)) {
                m_qbaBuffer += m_qsocket.readAll();
            }
        }
        m_qbaBuffer += m_qsocket.readAll();
        const int iEnd = m_qbaBuffer.indexOf("\r\n\r\n");
        if (iEnd < 0) {
            return {};
        }
        const QByteArray qbaHead = m_qbaBuffer.left(iEnd + 4);
        const QRegularExpressionMatch qmatch = QRegularExpression(QStringLiteral("Content-Length: *(\\d+)"),
                                                                  QRegularExpression::CaseInsensitiveOption)
                                                   .match(QString::fromLatin1(qbaHead));
        const int iBody = qmatch.hasMatch() ? qmatch.captured(1).toInt() : 0;
        while (m_qbaBuffer.size() < iEnd + 4 + iBody && m_qsocket.waitForReadyRead(1000)) {
            m_qbaBuffer += m_qsocket.readAll();
        }
        m_qbaBuffer.remove(0, iEnd + 4 + iBody);
        return qbaHead;
    }
    // Digest credentials for _qbaMethod on _qstrUriPath, with the nonce of _qbaChallenge (a 401's head).
    QByteArray Digest(const QByteArray& _qbaChallenge, const QByteArray& _qbaMethod,
                      const QString& _qstrUriPath, const QByteArray& _qbaUser,
                      const QByteArray& _qbaPassword) const
    {
        const QByteArray qbaNonce = Field(_qbaChallenge, "nonce");
        const QByteArray qbaRealm = Field(_qbaChallenge, "realm");
        const QByteArray qbaUri = Url(_qstrUriPath).toUtf8();
        const QByteArray qbaResponse = Md5(Md5(_qbaUser + ':' + qbaRealm + ':' + _qbaPassword) + ':' +
                                           qbaNonce + ':' + Md5(_qbaMethod + ':' + qbaUri));
        return "Authorization: Digest username=\"" + _qbaUser + "\", realm=\"" + qbaRealm + "\", nonce=\"" +
               qbaNonce + "\", uri=\"" + qbaUri + "\", response=\"" + qbaResponse + "\"\r\n";
    }
    QTcpSocket& Socket() { return m_qsocket; }

    static int Code(const QByteArray& _qbaHead) { return _qbaHead.mid(9, 3).toInt(); }

private:
    static QByteArray Md5(const QByteArray& _qbaText)
    {
        return QCryptographicHash::hash(_qbaText, QCryptographicHash::Md5).toHex();
    }
    static QByteArray Field(const QByteArray& _qbaHead, const char* _pcName)
    {
        const QRegularExpressionMatch qmatch =
            QRegularExpression(QString::fromLatin1(_pcName) + QStringLiteral("=\"([^\"]*)\""))
                .match(QString::fromLatin1(_qbaHead));
        return qmatch.captured(1).toLatin1();
    }

    int m_iPort;
    int m_iSeq = 0;
    QTcpSocket m_qsocket;
    QByteArray m_qbaBuffer;
};

// CPU seconds this process has used so far.
inline double CpuSeconds()
{
    rusage stUsage{};
    getrusage(RUSAGE_SELF, &stUsage);
    return double(stUsage.ru_utime.tv_sec + stUsage.ru_stime.tv_sec) +
           double(stUsage.ru_utime.tv_usec + stUsage.ru_stime.tv_usec) / 1e6;
}
