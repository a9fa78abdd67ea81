// This host's address as the program shows and sends it.
#include "LocalAddress.h"

#include <QRegularExpression>
#include <QTest>

#include <arpa/inet.h>
#include <netdb.h>
#include <unistd.h>

class tst_LocalAddress : public QObject {
    Q_OBJECT

private slots:
    void dottedWithoutLeadingZeros()
    {
        const QString address = LocalAddress();
        QVERIFY2(!address.isEmpty(), "this host's name does not resolve to an IPv4 address");
        static const QRegularExpression dotted(QStringLiteral("^(0|[1-9][0-9]{0,2})(\\.(0|[1-9][0-9]{0,2})){3}$"));
        QVERIFY2(dotted.match(address).hasMatch(), qPrintable(address));
        in_addr parsed{};
        QCOMPARE(::inet_pton(AF_INET, address.toLatin1().constData(), &parsed), 1);
    }

    void firstAddressOfThisHostsName()
    {
        // The older resolver call lists the host's addresses in their configured order.
        char name[256] = {};
        QCOMPARE(::gethostname(name, sizeof name - 1), 0);
        const hostent* host = ::gethostbyname(name);
        QVERIFY(host && host->h_addrtype == AF_INET && host->h_addr_list[0]);
        char expected[INET_ADDRSTRLEN] = {};
        ::inet_ntop(AF_INET, host->h_addr_list[0], expected, sizeof expected);
        QCOMPARE(LocalAddress(), QString::fromLatin1(expected));
    }

    void computedAfreshAndStable()
    {
        const QString first = LocalAddress();
        for (int i = 0; i < 50; ++i)
            QCOMPARE(LocalAddress(), first);
    }
};

QTEST_GUILESS_MAIN(tst_LocalAddress)
#include "tst_localaddress.moc"
