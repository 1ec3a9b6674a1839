// The autostart file: where it lives, what counts as on, and what gets written.

#include "platform/Autostart.h"

#include <QDir>
#include <QFile>
#include <QFileDevice>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using namespace corvane;

class AutostartTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void filePathFollowsXdg_data();
    void filePathFollowsXdg();
    void enabledReadsTheFile_data();
    void enabledReadsTheFile();
    void writeAndRemove();
    void execIsQuoted_data();
    void execIsQuoted();
    void failedWriteKeepsOldFile();
};

void AutostartTest::filePathFollowsXdg_data()
{
    QTest::addColumn<QByteArray>("xdg");
    QTest::addColumn<QString>("expected");
    QTest::newRow("set") << QByteArray("/tmp/cfg") << "/tmp/cfg/autostart/corvane-monitor.desktop";
    QTest::newRow("empty") << QByteArray("")
                           << QDir::homePath() + "/.config/autostart/corvane-monitor.desktop";
}

void AutostartTest::filePathFollowsXdg()
{
    QFETCH(QByteArray, xdg);
    QFETCH(QString, expected);
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", xdg);
    QCOMPARE(autostart::filePath(), expected);
    qputenv("XDG_CONFIG_HOME", saved);
}

void AutostartTest::enabledReadsTheFile_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("plain entry") << QByteArray("[Desktop Entry]\nType=Application\nExec=x\n")
                                 << true;
    QTest::newRow("hidden") << QByteArray("[Desktop Entry]\nExec=x\nHidden=true\n") << false;
    QTest::newRow("hidden false") << QByteArray("[Desktop Entry]\nExec=x\nHidden=false\n") << true;
    QTest::newRow("gnome disabled")
        << QByteArray("[Desktop Entry]\nExec=x\nX-GNOME-Autostart-enabled=false\n") << false;
    QTest::newRow("hidden in another group")
        << QByteArray("[Desktop Entry]\nExec=x\n[Desktop Action a]\nHidden=true\n") << true;
    QTest::newRow("spaces around =") << QByteArray("[Desktop Entry]\nHidden = true\n") << false;
}

void AutostartTest::enabledReadsTheFile()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, enabled);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("corvane-monitor.desktop"));
    QVERIFY(!autostart::isEnabled(path));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();
    QCOMPARE(autostart::isEnabled(path), enabled);
}

void AutostartTest::writeAndRemove()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("autostart/corvane-monitor.desktop"));
    QVERIFY(autostart::setEnabled(true, QStringLiteral("/usr/bin/corvane-monitor"), path));
    QVERIFY(autostart::isEnabled(path));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    QVERIFY(text.startsWith("[Desktop Entry]\n"));
    QVERIFY(text.contains("\nExec=/usr/bin/corvane-monitor\n"));
    QVERIFY(text.contains("\nName=Corvane Monitor\n"));
    file.close();

    // Turning on again over a hidden entry replaces it.
    QVERIFY(file.open(QIODevice::Append));
    file.write("Hidden=true\n");
    file.close();
    QVERIFY(!autostart::isEnabled(path));
    QVERIFY(autostart::setEnabled(true, QStringLiteral("/usr/bin/corvane-monitor"), path));
    QVERIFY(autostart::isEnabled(path));

    QVERIFY(autostart::setEnabled(false, QString(), path));
    QVERIFY(!QFile::exists(path));
    QVERIFY2(autostart::setEnabled(false, QString(), path), "removing twice is fine");
}

void AutostartTest::execIsQuoted_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QByteArray>("exec");
    QTest::newRow("plain") << "/opt/cm/bin/corvane-monitor"
                           << QByteArray("/opt/cm/bin/corvane-monitor");
    QTest::newRow("space") << "/home/a b/corvane-monitor"
                           << QByteArray("\"/home/a b/corvane-monitor\"");
    QTest::newRow("dollar") << "/home/$x/cm" << QByteArray("\"/home/\\\\$x/cm\"");
    QTest::newRow("percent") << "/home/100%/cm" << QByteArray("/home/100%%/cm");
}

void AutostartTest::execIsQuoted()
{
    QFETCH(QString, program);
    QFETCH(QByteArray, exec);
    QVERIFY2(autostart::entry(program).contains("\nExec=" + exec + "\n"),
             autostart::entry(program).constData());
}

void AutostartTest::failedWriteKeepsOldFile()
{
    if (geteuid() == 0) {
        // Root ignores folder permissions; a file where the folder should be fails for anyone.
        QTemporaryDir dir;
        QFile blocker(dir.filePath(QStringLiteral("autostart")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        QVERIFY(!autostart::setEnabled(
            true, QStringLiteral("/usr/bin/corvane-monitor"),
            dir.filePath(QStringLiteral("autostart/corvane-monitor.desktop"))));
        return;
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("corvane-monitor.desktop"));
    QVERIFY(autostart::setEnabled(true, QStringLiteral("/old"), path));
    QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    QVERIFY(!autostart::setEnabled(true, QStringLiteral("/new"), path));
    QFile::setPermissions(dir.path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().contains("Exec=/old\n"));
}

QTEST_GUILESS_MAIN(AutostartTest)
#include "AutostartTest.moc"
