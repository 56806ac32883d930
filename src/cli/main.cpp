#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTextStream(stdout) << "usage: tallyrook-cli [--name] [--size] [--similar] [--tsv | --json] FOLDER...\n";
    return 0;
}
