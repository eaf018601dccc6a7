// The settings table read through the real registry layer, and the display texts.
#include "app_settings.h"
#include "cregister.h"
#include "display_format.h"

#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

using namespace app;

class AppSettingsTests : public QObject {
    Q_OBJECT
private slots:
    void init();
    void conversions();
    void rowsAbsent();
    void rowsSet();
    void rowsUnreadable();
    void sizes();
    void clockTexts();
    void speedAndPercent();

private:
    void set(const char* name, const QString& value) {
        QVERIFY(settings::CRegister().REGSaveSetting(settings::HKEY_LOCAL_MACHINE,
                                                     AppSettings::Section(), name, value));
    }
    std::unique_ptr<QTemporaryDir> root_;
};

void AppSettingsTests::init() {
    root_ = std::make_unique<QTemporaryDir>();
    qputenv("ZORV_REGISTRY_ROOT", root_->path().toLocal8Bit());
}

void AppSettingsTests::conversions() {
    QCOMPARE(NumericValue("1.0").value(), 1.0);
    QCOMPARE(NumericValue(" 01 ").value(), 1.0);
    QCOMPARE(NumericValue("-2.5e1").value(), -25.0);
    QCOMPARE(NumericValue(".5").value(), 0.5);
    QVERIFY(!NumericValue(""));
    QVERIFY(!NumericValue("1,0"));
    QVERIFY(!NumericValue("one"));
    QVERIFY(!NumericValue("1 2"));
    QVERIFY(!NumericValue("1e999")); // overflows
    QCOMPARE(WholeNumber16("1024").value(), qint16(1024));
    QCOMPARE(WholeNumber16("2.5").value(), qint16(2)); // halves to even
    QCOMPARE(WholeNumber16("3.5").value(), qint16(4));
    QCOMPARE(WholeNumber16("-32768").value(), qint16(-32768));
    QVERIFY(!WholeNumber16("32768"));
    QVERIFY(!WholeNumber16("32767.5"));
    QCOMPARE(TruthValue("true").value(), true);
    QCOMPARE(TruthValue("FALSE").value(), false);
    QCOMPARE(TruthValue("-1").value(), true);
    QCOMPARE(TruthValue("0").value(), false);
    QVERIFY(!TruthValue(""));
    QVERIFY(!TruthValue("yes"));
}

void AppSettingsTests::rowsAbsent() {
    QCOMPARE(AppSettings::Clipboard(), true);
    QCOMPARE(AppSettings::ProxyUse(), false);
    QCOMPARE(AppSettings::ProxyIP(), QString());
    QCOMPARE(AppSettings::ProxyPort(), QString());
    QCOMPARE(AppSettings::ProxyFtp(), false);
    QCOMPARE(AppSettings::Rollback(), true);
    QCOMPARE(AppSettings::RollbackAmount(), qint16(1024));
    QCOMPARE(AppSettings::FtpTimeout(), qint16(30));
    QCOMPARE(AppSettings::FtpPasv(), true);
    QCOMPARE(AppSettings::DownloadDrop(), false);
}

void AppSettingsTests::rowsSet() {
    set("Clipboard", "0");
    set("Proxy Use", "1.0");
    set("Proxy IP", "10.1.2.3");
    set("Proxy Port", "3128");
    set("Proxy FTP", "True");
    set("Rollback", "0");
    set("Rollback Amount", "-7");
    set("FTP Timeout", "0"); // 0 means the default
    set("FTP PASV", "0");
    set("Download Drop", "01");
    QCOMPARE(AppSettings::Clipboard(), false);
    QCOMPARE(AppSettings::ProxyUse(), true);
    QCOMPARE(AppSettings::ProxyIP(), QString("10.1.2.3"));
    QCOMPARE(AppSettings::ProxyPort(), QString("3128"));
    QCOMPARE(AppSettings::ProxyFtp(), true);
    QCOMPARE(AppSettings::Rollback(), false);
    QCOMPARE(AppSettings::RollbackAmount(), qint16(-7));
    QCOMPARE(AppSettings::FtpTimeout(), qint16(30));
    QCOMPARE(AppSettings::FtpPasv(), false);
    QCOMPARE(AppSettings::DownloadDrop(), true);
    set("Proxy Use", "2");
    set("FTP Timeout", "45");
    set("Download Drop", "2");
    QCOMPARE(AppSettings::ProxyUse(), false);
    QCOMPARE(AppSettings::FtpTimeout(), qint16(45));
    QCOMPARE(AppSettings::DownloadDrop(), false);
}

void AppSettingsTests::rowsUnreadable() {
    // Text that its conversion cannot read counts as the default.
    set("Clipboard", "on");
    set("Proxy Use", "yes");
    set("Proxy FTP", "maybe");
    set("Rollback", "x");
    set("Rollback Amount", "40000");
    set("FTP Timeout", "thirty");
    set("FTP PASV", "");
    set("Download Drop", "1 ");
    QCOMPARE(AppSettings::Clipboard(), true);
    QCOMPARE(AppSettings::ProxyUse(), false);
    QCOMPARE(AppSettings::ProxyFtp(), false);
    QCOMPARE(AppSettings::Rollback(), true);
    QCOMPARE(AppSettings::RollbackAmount(), qint16(1024));
    QCOMPARE(AppSettings::FtpTimeout(), qint16(30));
    QCOMPARE(AppSettings::FtpPasv(), true);
    QCOMPARE(AppSettings::DownloadDrop(), true); // blanks around a number are allowed
}

void AppSettingsTests::sizes() {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QCOMPARE(FormatSize(0), QString("0 Bytes"));
    QCOMPARE(FormatSize(512), QString("512 Bytes"));
    QCOMPARE(FormatSize(1023), QString("1023 Bytes"));
    QCOMPARE(FormatSize(1024), QString("1.00 KB"));
    QCOMPARE(FormatSize(1536), QString("1.50 KB"));
    QCOMPARE(FormatSize(1048576), QString("1024.00 KB"));
    QCOMPARE(FormatSize(5242880), QString("5.00 MB"));
    QCOMPARE(FormatSize(1073741824), QString("1,024.00 MB"));
    QCOMPARE(FormatSize(5000000000), QString("4,768.37 MB"));
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    QCOMPARE(FormatSize(1073741824), QString("1.024,00 MB"));
    QLocale::setDefault(QLocale::c());
}

void AppSettingsTests::clockTexts() {
    QCOMPARE(ConvertTime(0), QString("00:00:00"));
    QCOMPARE(ConvertTime(59), QString("00:00:59"));
    QCOMPARE(ConvertTime(60), QString("00:01:00"));
    QCOMPARE(ConvertTime(3725), QString("01:02:05"));
    QCOMPARE(ConvertTime(90187), QString("25:03:07"));
    QCOMPARE(ElapsedText(0, 5, 7), QString("00:05:07"));
    QCOMPARE(ElapsedText(0, 60, 0), QString("01:00:00")); // minute 60 shows carried
    QCOMPARE(ElapsedText(30, 1, 2), QString("30:01:02"));
}

void AppSettingsTests::speedAndPercent() {
    QCOMPARE(FormatSpeed(1.5), QString("1.50"));
    QCOMPARE(FormatSpeed(0.25), QString(".25"));
    QCOMPARE(FormatSpeed(1234.56), QString("1234.56"));
    QCOMPARE(FormatSpeed(2.125), QString("2.125"));
    QCOMPARE(PercentOf(512, 1000), qint16(51));
    QCOMPARE(PercentOf(999, 1000), qint16(100));
    QCOMPARE(PercentOf(1, 1000), qint16(0));
    QCOMPARE(PercentOf(26214400, 41943040), qint16(63));
    QCOMPARE(PercentOf(10, 0), qint16(0));
}

QTEST_GUILESS_MAIN(AppSettingsTests)
#include "app_settings_tests.moc"
