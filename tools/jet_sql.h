// `jet sql FILE STATEMENT...`: runs SQL statements on a database from the command line.
// A SELECT prints CSV as `jet export` does; an action statement prints the rows it affected.
#pragma once

#include <string>
#include <vector>

// args: the database file, then one or more statements, run in order. Failures are thrown as
// jet::Error. Returns the exit code (2 with a usage line when a statement is missing).
int runSqlCommand(const std::vector<std::string>& args);
