// The program's one window on Linux and macOS: what the update does, where the files are, Start
// and Cancel. It draws and asks; what Start and the unload do is its FormController's.
#pragma once

#include <QDialog>

#include "app/form_controller.h"
#include "app/msgbox.h"
#include "app/run_sequence.h"

class QLabel;
class QPushButton;

namespace app {

class Form1 : public QDialog {
  Q_OBJECT

 public:
  // `msgBox` defaults to the Qt box over this window.
  explicit Form1(MsgBoxFn msgBox = {}, Updates updates = Updates::real(), QWidget* parent = nullptr);
  ~Form1() override;

  // The data sources, the load step and Start.
  FormController& controller() { return controller_; }

 public slots:
  void Cancel_Click();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  // Places the controls for a screen of `dpiX` x `dpiY` logical dots per inch.
  void applyDpi(double dpiX, double dpiY);

  FormController controller_;
  QLabel* Label_;
  QLabel* Label2_;
  QLabel* Label3_;
  QLabel* Label4_;
  QPushButton* Start_;
  QPushButton* Cancel_;
};

}  // namespace app
