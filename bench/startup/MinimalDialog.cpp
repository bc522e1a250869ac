// The yardstick for start-up: the least a Qt 6 Widgets program does to show a dialog.

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QDialog dialog;
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLineEdit(&dialog));
    layout->addWidget(new QPushButton(QStringLiteral("Start"), &dialog));
    dialog.show();
    return dialog.exec();
}
