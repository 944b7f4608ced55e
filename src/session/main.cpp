// Wombat: a communications terminal for Japanese bulletin-board and chat hosts.
#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setOrganizationName("Zeb");
  QApplication::setApplicationName("Wombat");
  QMainWindow window;
  window.setWindowTitle("Wombat");
  window.resize(640, 480);
  window.show();
  return QApplication::exec();
}
