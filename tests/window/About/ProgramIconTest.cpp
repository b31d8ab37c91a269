// The program's icon comes from the resources built into the program and is
// read by Qt's SVG plugin at run time; without either the windows show none.
#include <QIcon>
#include <QImage>
#include <QTest>

#include "About/ProgramIcon.h"

class ProgramIconTest : public QObject {
    Q_OBJECT

private slots:
    void RendersAtTheInstalledSizes()
    {
        const QIcon icon = ProgramIcon();
        QVERIFY(!icon.isNull());
        for (int size : {48, 256}) {
            const QImage image = icon.pixmap(size, size).toImage();
            QCOMPARE(image.size(), QSize(size, size));
            // The drawing: a transparent corner and the shield in the middle.
            QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
            QCOMPARE(qAlpha(image.pixel(size / 2, size / 2)), 255);
        }
    }
};

QTEST_MAIN(ProgramIconTest)
#include "ProgramIconTest.moc"
