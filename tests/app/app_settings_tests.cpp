// The settings read through the real registry layer, their conversions, and the display texts.
#include "app_settings.h"
#include "cregister.h"
#include "display_format.h"

#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

using namespace app;

namespace {

template <typename T> QString text(std::optional<T> value) {
    return value ? QString::number(*value) : QStringLiteral("-");
}

} // namespace

class AppSettingsTests : public QObject {
    Q_OBJECT
private slots:
    void conversions() {
        // text|numeric value|whole number|truth value ("-": unreadable)
        const QStringList rows = QStringLiteral(R"(1.0|1|1|1
 01 |1|1|1
-2.5e1|-25|-25|1
.5|0.5|0|1
2.5|2.5|2|1
3.5|3.5|4|1
-32768|-32768|-32768|1
32768|32768|-|1
32767.5|32767.5|-|1
0|0|0|0
true|-|-|1
FALSE|-|-|0
|-|-|-
1,0|-|-|-
1 2|-|-|-
1e999|-|-|-
yes|-|-|-)")
                                     .split('\n');
        for (const QString& row : rows) {
            const QString in = row.section('|', 0, 0);
            QCOMPARE(QStringList({in, text(NumericValue(in)), text(WholeNumber16(in)),
                                  text(TruthValue(in))})
                         .join('|'),
                     row);
        }
    }

    void rows_data() {
        // The values stored ("~": absent), and what the getters give, in this order:
        const QStringList names = {"Clipboard", "Proxy Use",    "Proxy IP",        "Proxy Port",
                                   "Proxy FTP", "Rollback",     "Rollback Amount", "FTP Timeout",
                                   "FTP PASV",  "Download Drop"};
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("expected");
        QTest::newRow("absent") << names << "~|~|~|~|~|~|~|~|~|~"
                                << "1|0|||0|1|1024|30|1|0";
        QTest::newRow("set") << names << "0|1.0|10.1.2.3|3128|True|0|-7|0|0|01"
                             << "0|1|10.1.2.3|3128|1|0|-7|30|0|1";
        QTest::newRow("not one") << names << "~|2|~|~|~|~|~|45|~|2"
                                 << "1|0|||0|1|1024|45|1|0";
        QTest::newRow("unreadable") << names << "on|yes|~|~|maybe|x|40000|thirty||1 "
                                    << "1|0|||0|1|1024|30|1|1";
    }
    void rows() {
        QFETCH(QStringList, names);
        QFETCH(QString, stored);
        QFETCH(QString, expected);
        QTemporaryDir root;
        qputenv("ZORV_REGISTRY_ROOT", root.path().toLocal8Bit());
        const QStringList values = stored.split('|');
        for (int i = 0; i < names.size(); ++i) {
            if (values[i] != "~")
                QVERIFY(settings::CRegister().REGSaveSetting(
                    settings::HKEY_LOCAL_MACHINE, AppSettings::Section(), names[i], values[i]));
        }
        const auto n = [](auto value) { return QString::number(value); };
        const QStringList got = {n(AppSettings::Clipboard()),      n(AppSettings::ProxyUse()),
                                 AppSettings::ProxyIP(),           AppSettings::ProxyPort(),
                                 n(AppSettings::ProxyFtp()),       n(AppSettings::Rollback()),
                                 n(AppSettings::RollbackAmount()), n(AppSettings::FtpTimeout()),
                                 n(AppSettings::FtpPasv()),        n(AppSettings::DownloadDrop())};
        QCOMPARE(got.join('|'), expected);
    }

    void displayTexts() {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QCOMPARE(FormatSize(0), QString("0 Bytes"));
        QCOMPARE(FormatSize(1023), QString("1023 Bytes"));
        QCOMPARE(FormatSize(1024), QString("1.00 KB"));
        QCOMPARE(FormatSize(1536), QString("1.50 KB"));
        QCOMPARE(FormatSize(1048576), QString("1024.00 KB"));
        QCOMPARE(FormatSize(5242880), QString("5.00 MB"));
        QCOMPARE(FormatSize(5000000000), QString("4,768.37 MB"));
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        QCOMPARE(FormatSize(1073741824), QString("1.024,00 MB"));
        QLocale::setDefault(QLocale::c());
        QCOMPARE(ConvertTime(59), QString("00:00:59"));
        QCOMPARE(ConvertTime(60), QString("00:01:00"));
        QCOMPARE(ConvertTime(90187), QString("25:03:07"));
        QCOMPARE(ElapsedText(0, 60, 0), QString("01:00:00")); // minute 60 shows carried
        QCOMPARE(ElapsedText(30, 1, 2), QString("30:01:02"));
        QCOMPARE(FormatSpeed(1.5), QString("1.50"));
        QCOMPARE(FormatSpeed(0.25), QString(".25"));
        QCOMPARE(FormatSpeed(2.125), QString("2.125"));
        QCOMPARE(PercentOf(512, 1000), qint16(51));
        QCOMPARE(PercentOf(999, 1000), qint16(100));
        QCOMPARE(PercentOf(1, 1000), qint16(0));
        QCOMPARE(PercentOf(26214400, 41943040), qint16(63));
        QCOMPARE(PercentOf(10, 0), qint16(0));
    }
};

QTEST_GUILESS_MAIN(AppSettingsTests)
#include "app_settings_tests.moc"
