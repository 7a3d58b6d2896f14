// An FTP client for the window's tests, on Qt's own sockets: every wait
// runs Qt's event loop, which runs the server's loop, so client and server
// share the test's one thread without blocking each other.
#pragma once

#include <QRegularExpression>
#include <QTcpSocket>
#include <QTest>
#include <memory>

namespace vendrix::testing {

class TTestClient {
public:
    explicit TTestClient(quint16 port, const QHostAddress& host = QHostAddress(QHostAddress::LocalHost)) {
        FSocket.connectToHost(host, port);
        Greeting = Reply();
    }

    // The whole reply, its lines joined by CR LF; empty when none came.
    QString Reply(int timeoutMs = 10000) {
        QString reply;
        (void)QTest::qWaitFor([&] { return Complete(reply); }, timeoutMs);
        return reply;
    }
    QString Cmd(const QString& line) {
        FSocket.write((line + "\r\n").toUtf8());
        return Reply();
    }
    QString Login(const QString& user, const QString& pass) {
        Cmd("USER " + user);
        return Cmd("PASS " + pass);
    }
    // PASV, then a data connection to the port it names.
    std::unique_ptr<QTcpSocket> Pasv() {
        static const QRegularExpression numbers(R"(\((\d+),(\d+),(\d+),(\d+),(\d+),(\d+)\))");
        QRegularExpressionMatch m = numbers.match(Cmd("PASV"));
        if (!m.hasMatch()) return nullptr;
        auto data = std::make_unique<QTcpSocket>();
        data->connectToHost(QHostAddress::LocalHost,
                            quint16(m.captured(5).toInt() * 256 + m.captured(6).toInt()));
        return data;
    }
    bool WaitClosed(int timeoutMs = 10000) {
        return QTest::qWaitFor(
            [&] {
                FSocket.readAll();
                return FSocket.state() == QAbstractSocket::UnconnectedState;
            },
            timeoutMs);
    }
    void Close() { FSocket.abort(); }

    QString Greeting;

private:
    bool Complete(QString& reply) {
        FIn += FSocket.readAll();
        int pos = 0;
        for (;;) {
            int eol = FIn.indexOf("\r\n", pos);
            if (eol < 0) return false;
            QByteArray line = FIn.mid(pos, eol - pos);
            pos = eol + 2;
            if (line.size() >= 3 && std::isdigit(static_cast<unsigned char>(line[0])) &&
                (line.size() == 3 || line[3] == ' ')) {
                reply = QString::fromUtf8(FIn.left(pos - 2));
                FIn.remove(0, pos);
                return true;
            }
        }
    }

    QTcpSocket FSocket;
    QByteArray FIn;
};

} // namespace vendrix::testing
