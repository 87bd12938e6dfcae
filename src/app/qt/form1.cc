#include "app/qt/form1.h"

#include <QCloseEvent>
#include <QFontDatabase>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <cmath>

#include "app/qt/event_loop_failure.h"
#include "app/qt/qt_msgbox.h"

static void initIconResources() {
  static bool done = false;
  if (!done) {
    Q_INIT_RESOURCE(tarnlog);
    done = true;
  }
}

namespace app {
namespace {

// The window's client area and controls, in twips: left, top, width, height.
struct Twips {
  int left, top, width, height;
};
constexpr int kClientWidth = 5505;
constexpr int kClientHeight = 3075;
constexpr Twips kLabel{240, 240, 5175, 495};
constexpr Twips kLabel2{240, 840, 5175, 495};
constexpr Twips kLabel3{240, 1440, 5175, 495};
constexpr Twips kLabel4{600, 2040, 4575, 375};
constexpr Twips kStart{3360, 2520, 975, 375};
constexpr Twips kCancel{4440, 2520, 975, 375};

// MS Sans Serif 8.25 pt; where it is missing, the closest sans-serif dialog face there is.
QFont dialogFont() {
  const QStringList installed = QFontDatabase::families();
  QString family = QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
  for (const char* candidate : {"MS Sans Serif", "Microsoft Sans Serif", "Tahoma", "Liberation Sans", "Arial",
                                "Helvetica", "DejaVu Sans Condensed"}) {
    if (installed.contains(QLatin1String(candidate), Qt::CaseInsensitive)) {
      family = QLatin1String(candidate);
      break;
    }
  }
  QFont font(family);
  font.setStyleHint(QFont::SansSerif);
  font.setPointSizeF(8.25);
  font.setWeight(QFont::Normal);
  return font;
}

QLabel* makeLabel(QWidget* parent, const char* name, const char* text) {
  auto* label = new QLabel(QString::fromUtf8(text), parent);
  label->setObjectName(QLatin1String(name));
  label->setTextFormat(Qt::PlainText);
  label->setWordWrap(true);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  label->setFocusPolicy(Qt::NoFocus);
  label->setMargin(0);
  label->setIndent(0);
  return label;
}

QPushButton* makeButton(QWidget* parent, const char* name, const char* text) {
  auto* button = new QPushButton(QLatin1String(text), parent);
  button->setObjectName(QLatin1String(name));
  button->setFocusPolicy(Qt::StrongFocus);
  return button;
}

// Twips (1/1440 inch) to pixels at `dpi`.
int pixels(int twips, double dpi) { return static_cast<int>(std::lround(twips * dpi / 1440.0)); }

void place(QWidget* widget, const Twips& t, double dpiX, double dpiY) {
  widget->setGeometry(pixels(t.left, dpiX), pixels(t.top, dpiY), pixels(t.width, dpiX), pixels(t.height, dpiY));
}

}  // namespace

Form1::Form1(MsgBoxFn msgBox, Updates updates, QWidget* parent)
    : QDialog(parent), controller_(msgBox ? std::move(msgBox) : qtMsgBox(this), std::move(updates)) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("Tarnlog Entity Updater"));
  // Fixed dialog frame: title, system menu and close box; no minimise, maximise or help box.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  setSizeGripEnabled(false);
  initIconResources();
  QIcon icon;
  for (int size : {16, 32, 48}) {
    icon.addFile(QStringLiteral(":/icon/tarnlog-entity-updater-%1.png").arg(size), QSize(size, size));
  }
  setWindowIcon(icon);
  setFont(dialogFont());

  // Created in tab order: Cancel is first and has the focus when the window opens.
  Cancel_ = makeButton(this, "Cancel", "Cancel");
  Start_ = makeButton(this, "Start", "Start");
  Label_ = makeLabel(this, "Label",
                     "This program updates Tarnlog for the new entities of Curacao, Sint Maarten. "
                     "Saba and St. Eustatius, and Bonaire.");
  Label2_ = makeLabel(this, "Label2",
                      "It then checks your log for PJ contacts on or after 10/10/2010 and makes any "
                      "required changes to the DXCC Reference Numbers.");
  Label3_ = makeLabel(this, "Label3",
                      "Back up your logbook and the file named BandPlan.mdb before proceeding.  "
                      "These files are located in:");
  Label4_ = makeLabel(this, "Label4", "My Documents\\BRAEWICK\\Tarnlog\\Databases");
  QFont bold = font();
  bold.setWeight(QFont::Bold);
  Label4_->setFont(bold);
  setTabOrder(Cancel_, Start_);
  Cancel_->setFocus(Qt::OtherFocusReason);

  applyDpi(logicalDpiX(), logicalDpiY());

  connect(Start_, &QPushButton::clicked, this, [this] { runFromEventLoop([this] { controller_.Start_Click(); }); });
  connect(Cancel_, &QPushButton::clicked, this, [this] { runFromEventLoop([this] { Cancel_Click(); }); });
}

Form1::~Form1() = default;

void Form1::applyDpi(double dpiX, double dpiY) {
  setFixedSize(pixels(kClientWidth, dpiX), pixels(kClientHeight, dpiY));
  place(Label_, kLabel, dpiX, dpiY);
  place(Label2_, kLabel2, dpiX, dpiY);
  place(Label3_, kLabel3, dpiX, dpiY);
  place(Label4_, kLabel4, dpiX, dpiY);
  place(Start_, kStart, dpiX, dpiY);
  place(Cancel_, kCancel, dpiX, dpiY);
}

void Form1::Cancel_Click() { close(); }

void Form1::closeEvent(QCloseEvent* event) {
  runFromEventLoop([this] { controller_.Form_Unload(); });
  QDialog::closeEvent(event);
}

void Form1::keyPressEvent(QKeyEvent* event) {
  // No button of this window is its Cancel button, so Esc does not close it.
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void Form1::showEvent(QShowEvent* event) {
  // QDialog would centre the window on the screen; the window manager places it, as any new window.
  QWidget::showEvent(event);
}

}  // namespace app
