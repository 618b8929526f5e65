#include <QtTest>

class GuiWindowTest : public QObject {
    Q_OBJECT
private slots:
    void nothing_yet() { QVERIFY(true); }
};

QTEST_MAIN(GuiWindowTest)
#include "GuiWindowTest.moc"
