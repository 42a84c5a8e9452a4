// voltare: the desktop program.

#include <QApplication>

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName("KOVA Voltare");
  return 0;
}
