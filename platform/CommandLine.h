#pragma once
#include <QString>
#include <QStringList>

// The program's arguments as ParamStr gives them (0 = the program); tests set their own.
QString ParamStr(int index);
int ParamCount();
void SetCommandLine(const QStringList& arguments);
