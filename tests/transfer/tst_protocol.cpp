#include "Protocol.h"
#include "SpeedLevels.h"

#include <QTest>

#include <stdexcept>

using namespace Protocol;

class tst_Protocol : public QObject {
    Q_OBJECT

private slots:
    void messagesAreTheirBytes()
    {
        QCOMPARE(OfferFile("report.txt", "192.168.0.2"), QByteArray("1report.txt#192.168.0.2"));
        QCOMPARE(OfferFile("report.txt", "192.168.0.2").size(), 23);
        QCOMPARE(RefuseFile(), QByteArray("2"));
        QCOMPARE(AcceptFile(), QByteArray("3"));
        QCOMPARE(RequestBlock(), QByteArray("4"));
        QCOMPARE(TransferDone(), QByteArray("6"));
        QCOMPARE(AnnounceSize(80), QByteArray("780"));
        QCOMPARE(AnnounceSize(2147483647), QByteArray("72147483647"));
        QCOMPARE(AnnounceSize(-5), QByteArray("7-5"));
        QCOMPARE(OfferFile("", ""), QByteArray("1#"));
    }

    void offerSplitsAtTheFirstHash_data()
    {
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("address");
        QTest::newRow("plain") << QByteArray("1report.txt#192.168.0.2") << "report.txt" << "192.168.0.2";
        QTest::newRow("hash in name") << QByteArray("1a#b.txt#10.0.0.1") << "a" << "b.txt#10.0.0.1";
        QTest::newRow("no hash") << QByteArray("1report.txt") << "" << "1report.txt";
        QTest::newRow("hash only") << QByteArray("1#") << "" << "";
        QTest::newRow("empty address") << QByteArray("1x#") << "x" << "";
        QTest::newRow("code only") << QByteArray("1") << "" << "1";
        QTest::newRow("path parts kept") << QByteArray("1../../x#1.2.3.4") << "../../x" << "1.2.3.4";
        QTest::newRow("hash in the code's place") << QByteArray("#a#b") << "" << "a#b";
    }

    void offerSplitsAtTheFirstHash()
    {
        QFETCH(QByteArray, message);
        const Offer offer = ParseOffer(message);
        QTEST(offer.FileName, "name");
        QTEST(offer.SenderAddress, "address");
    }

    void offerRoundTripsNonAsciiNames()
    {
        const QString name = QString::fromUtf8("r\xC3\xA9sum\xC3\xA9 \xE6\x97\xA5.txt");
        const Offer offer = ParseOffer(OfferFile(name, "10.0.0.5"));
        QCOMPARE(offer.FileName, name);
        QCOMPARE(offer.SenderAddress, QString("10.0.0.5"));
    }

    void sizeAcceptsSigned32BitDecimals_data()
    {
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<int>("size");
        QTest::newRow("80") << QByteArray("780") << 80;
        QTest::newRow("zero") << QByteArray("70") << 0;
        QTest::newRow("negative") << QByteArray("7-12") << -12;
        QTest::newRow("plus") << QByteArray("7+12") << 12;
        QTest::newRow("leading zeros") << QByteArray("7007") << 7;
        QTest::newRow("max") << QByteArray("72147483647") << 2147483647;
        QTest::newRow("min") << QByteArray("7-2147483648") << int(-2147483647 - 1);
    }

    void sizeAcceptsSigned32BitDecimals()
    {
        QFETCH(QByteArray, message);
        QTEST(int(ParseSize(message)), "size");
    }

    void sizeRejectsEverythingElse_data()
    {
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<QString>("error");
        QTest::newRow("empty") << QByteArray("7") << "'' is not a valid integer value";
        QTest::newRow("words") << QByteArray("7abc") << "'abc' is not a valid integer value";
        QTest::newRow("one past max") << QByteArray("72147483648") << "'2147483648' is not a valid integer value";
        QTest::newRow("one past min") << QByteArray("7-2147483649") << "'-2147483649' is not a valid integer value";
        QTest::newRow("huge") << QByteArray("799999999999999999999999") << "'99999999999999999999999' is not a valid integer value";
        QTest::newRow("leading blank") << QByteArray("7 12") << "' 12' is not a valid integer value";
        QTest::newRow("trailing blank") << QByteArray("712 ") << "'12 ' is not a valid integer value";
        QTest::newRow("sign only") << QByteArray("7-") << "'-' is not a valid integer value";
        QTest::newRow("fraction") << QByteArray("71.5") << "'1.5' is not a valid integer value";
    }

    void sizeRejectsEverythingElse()
    {
        QFETCH(QByteArray, message);
        QFETCH(QString, error);
        try {
            ParseSize(message);
            QFAIL("no error raised");
        } catch (const std::runtime_error& e) {
            QCOMPARE(QString::fromStdString(e.what()), error);
        }
    }

    void speedLevelRows()
    {
        TransferSettings settings;
        QCOMPARE(settings.BlockSize, 1024);
        QCOMPARE(settings.ReceiveBufferSize, 1080);
        QCOMPARE(settings.SpeedLevel, 3);
        const int expected[5][2] = {{256, 300}, {512, 550}, {1024, 1050}, {2048, 2080}, {3072, 3100}};
        for (int level = 1; level <= 5; ++level) {
            ApplySpeedLevel(settings, level);
            QCOMPARE(settings.SpeedLevel, level);
            QCOMPARE(settings.BlockSize, expected[level - 1][0]);
            QCOMPARE(settings.ReceiveBufferSize, expected[level - 1][1]);
        }
    }
};

QTEST_GUILESS_MAIN(tst_Protocol)
#include "tst_protocol.moc"
