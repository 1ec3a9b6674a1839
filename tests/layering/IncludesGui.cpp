// Must not compile: the engine layer has no desktop headers. Qt's include root is on the path,
// so without the guard this would compile even though the engine never links QtGui.
#include <QtGui/QGuiApplication>

int main()
{
    return 0;
}
