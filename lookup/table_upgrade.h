// The first thing the lookup window's load step does, before it binds its
// connection: bring the table beside the program, sys.dat, up to the edition
// the program folder ships, edition.dat (upgrade/folder_step.h), tell the
// user once what an update did, and offer to bring the rows of an older
// program folder beside this one.
#pragma once

#include <string>

class QWidget;

namespace lookup {

// Runs that step for the program folder dir and shows what the user should
// know, each in a modal message box: an update (the edition and its date,
// the user's rows kept, where the backup is), an edition.dat that cannot be
// used or an update that failed (sys.dat is then used as it is), a sys.dat
// made anew beside backups of an earlier one. For each older program folder
// beside dir with rows of the user's that sys.dat lacks, asks once whether
// to bring them (as plimora-table update --rows-from), and says what was
// brought. Returns false only when there is no sys.dat and none could be made
// from edition.dat, after saying why; with neither file it returns true and
// says nothing, so that the window's own check speaks.
bool upgradeTable(const std::string &dir, QWidget *parent = nullptr);

}  // namespace lookup
