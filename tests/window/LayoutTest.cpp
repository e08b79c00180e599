#include "WindowFixture.h"

#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QApplication>
#include <qcustomplot.h>

namespace {

// A control's own parts (the line edit of a spin box, the scroll bars of the memo) are not
// controls of their own.
bool IsPartOfAControl(const QWidget *Widget)
{
    for (const QWidget *parent = Widget->parentWidget(); parent; parent = parent->parentWidget()) {
        if (qobject_cast<const QAbstractSpinBox *>(parent) || qobject_cast<const QAbstractScrollArea *>(parent)
            || qobject_cast<const QCustomPlot *>(parent))
            return true;
    }
    return false;
}

QString Describe(const QWidget *Control)
{
    const QString text = Control->property("text").toString();
    return QString::fromLatin1(Control->metaObject()->className())
        + (text.isEmpty() ? QString() : QStringLiteral(" \"%1\"").arg(text));
}

}

class LayoutTest : public WindowTest {
protected:
    // "a / b" for every two visible controls under Root whose rectangles share a pixel; a
    // container and what it holds do not count.
    static QStringList Overlaps(const QWidget &Window, const QWidget *Root, const QList<const QWidget *> &Skipped)
    {
        QList<const QWidget *> controls;
        for (const QWidget *widget : Root->findChildren<QWidget *>()) {
            const bool skipped = std::any_of(Skipped.begin(), Skipped.end(), [&](const QWidget *Cover) {
                return widget == Cover || Cover->isAncestorOf(widget);
            });
            if (!skipped && widget->isVisible() && !IsPartOfAControl(widget))
                controls << widget;
        }
        QStringList overlaps;
        for (qsizetype i = 0; i < controls.size(); ++i) {
            for (qsizetype j = i + 1; j < controls.size(); ++j) {
                const QWidget *a = controls[i];
                const QWidget *b = controls[j];
                if (a->isAncestorOf(b) || b->isAncestorOf(a))
                    continue;
                const QRect ra(a->mapTo(&Window, QPoint(0, 0)), a->size());
                const QRect rb(b->mapTo(&Window, QPoint(0, 0)), b->size());
                if (ra.intersects(rb))
                    overlaps << Describe(a) + QStringLiteral(" / ") + Describe(b);
            }
        }
        return overlaps;
    }
};

TEST_F(LayoutTest, NoTwoControlsOverlapAtTheSmallestWindowOfEveryMode)
{
    heatersim_plug_heater("/dev/hidraw-heater0", L"V1.10");
    for (const QStringList &mode : Modes()) {
        SCOPED_TRACE(ModeName(mode));
        auto w = ShownWindow(mode);
        w->resize(1, 1);
        QApplication::processEvents();
        ASSERT_EQ(w->size(), QSize(1024, 600));

        const QStringList overlaps = Overlaps(*w, w.get(), {w->pnlNotConnected, w->pnlAbout});
        EXPECT_TRUE(overlaps.isEmpty()) << overlaps.join(QLatin1Char('\n')).toStdString();
        // The chart keeps a useful height; the log gives way first.
        EXPECT_GE(w->chartHistory->height(), 200);
        if (!mode.isEmpty()) {
            EXPECT_GE(w->memLog->height(), 60);
        }

        w->pnlNotConnected->show();
        QApplication::processEvents();
        const QStringList covered = Overlaps(*w, w->pnlNotConnected, {});
        EXPECT_TRUE(covered.isEmpty()) << covered.join(QLatin1Char('\n')).toStdString();
    }
}

// Taller windows give the log its full height back before the chart grows.
TEST_F(LayoutTest, LogTakesItsDesignedHeightBackFirst)
{
    auto w = ShownWindow({QStringLiteral("mondrel")});
    const struct {
        int Height, Memo;
    } cases[] = {{600, 63}, {700, 163}, {750, 213}, {768, 216}, {900, 216}};
    for (const auto &c : cases) {
        w->resize(1024, c.Height);
        QApplication::processEvents();
        EXPECT_EQ(w->memLog->height(), c.Memo) << c.Height;
        EXPECT_EQ(w->pnlTop->height() + w->pnlClient->height() + w->memLog->height(), c.Height);
    }
}
