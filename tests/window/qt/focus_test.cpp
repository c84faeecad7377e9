// The keyboard focus on the real window, driven by key events sent to the window as a user's
// keyboard sends them: where the focus starts, how Tab moves it, and that the focused control
// shows it in every style the window may be drawn in.

#include <QApplication>
#include <QStyle>
#include <QTest>
#include <memory>

#include "window_fixture.h"

namespace tunelift::testing {
namespace {

const QStringList kTabOrder{"Browse", "Send", "File1", "Delete", "Finish", "cmdDelete"};

}  // namespace

class FocusTest : public QObject {
  Q_OBJECT

private slots:
  void initTestCase() { defaultStyle_ = QApplication::style()->name(); }
  void cleanup() {
    fixture_.reset();
    QApplication::setStyle(defaultStyle_);
  }

  // Files left by an earlier run were all deleted by a Space pressed at start-up, when the
  // focus started on "Delete All".
  void spaceAtStartUpPressesBrowseAndDeletesNothing() {
    Start({"one.mp3", "two.mp3"});
    Press(Qt::Key_Space);
    QCOMPARE(fixture_->dialogs().openCalls().size(), std::size_t(1));
    QCOMPARE(FileNames(fixture_->StagingFolder()),
             std::vector<std::string>({"one.mp3", "two.mp3"}));
    QCOMPARE(fixture_->Listed(), QStringList({"one.mp3", "two.mp3"}));
    QVERIFY(fixture_->dialogs().msgBoxCalls().empty());
  }

  void tabAndShiftTabFollowTheTabOrderFromStartUp() {
    Start({"one.mp3"});
    QCOMPARE(Focused(), QStringLiteral("Browse"));
    for (qsizetype i = 1; i <= kTabOrder.size(); ++i) {
      Press(Qt::Key_Tab);
      QCOMPARE(Focused(), kTabOrder.at(i % kTabOrder.size()));
    }
    for (qsizetype i = kTabOrder.size() - 1; i >= 0; --i) {
      Press(Qt::Key_Tab, Qt::ShiftModifier);
      QCOMPARE(Focused(), kTabOrder.at(i));
    }
  }

  // Each control is drawn with the focus and again once Tab has moved it on: the two must
  // differ, or the user cannot see where a key would go.
  void theFocusedControlShowsItsMark_data() {
    QTest::addColumn<QString>("style");
    QTest::addColumn<QStringList>("staged");
    for (const QString& style : {QString(), QStringLiteral("Fusion"), QStringLiteral("Windows")}) {
      const QString name = style.isEmpty() ? QStringLiteral("default") : style;
      QTest::newRow(qPrintable(name + ", files staged")) << style << QStringList{"one.mp3"};
      QTest::newRow(qPrintable(name + ", nothing staged")) << style << QStringList();
    }
  }
  void theFocusedControlShowsItsMark() {
    QFETCH(QString, style);
    QFETCH(QStringList, staged);
    if (!style.isEmpty()) {
      QVERIFY(QApplication::setStyle(style) != nullptr);
    }
    Start(staged);
    for (const QString& name : kTabOrder) {
      QCOMPARE(Focused(), name);
      auto* control = fixture_->Control<QWidget>(name.toStdString());
      const QImage withFocus = control->grab().toImage();
      Press(Qt::Key_Tab);
      QVERIFY2(control->grab().toImage() != withFocus,
               qPrintable(name + " shows no focus mark in " + QApplication::style()->name()));
    }
  }

private:
  void Start(const QStringList& staged) {
    fixture_ = std::make_unique<WindowFixture>();
    fs::create_directory(fixture_->StagingFolder());
    for (const QString& name : staged) {
      WriteFile(fixture_->StagingFolder() / name.toStdString());
    }
    QVERIFY(fixture_->LoadAndShow());
    fixture_->window().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&fixture_->window()));
  }

  // A key typed on the keyboard: it goes to the window, which hands it to its focused control.
  void Press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(fixture_->window().windowHandle(), key, modifiers);
  }

  static QString Focused() {
    QWidget* focused = QApplication::focusWidget();
    return focused == nullptr ? QStringLiteral("(nothing)") : focused->objectName();
  }

  QString defaultStyle_;
  std::unique_ptr<WindowFixture> fixture_;
};

}  // namespace tunelift::testing

QTEST_MAIN(tunelift::testing::FocusTest)
#include "focus_test.moc"
