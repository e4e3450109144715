#pragma once
// The program's resources: artwork compiled in as Qt resources, keyed by
// type and number (":/JPG/168", ":/BITMAP/160", ":/ICON/128/32").
#include <QIcon>
#include <QString>

// The resource path of a numbered resource of the given type.  The first
// call makes sure the compiled resources are registered.
QString ResourcePath(const char* type, int id);

// The program icon in every size the resources hold.
QIcon LoadProgramIcon();
