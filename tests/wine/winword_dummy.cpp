// Stands for a WINWORD.EXE process that appears while an instance is created:
// it does nothing for a minute, or until it is ended.

#include <windows.h>

int main()
{
    Sleep(60000);
    return 0;
}
