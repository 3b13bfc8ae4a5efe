#pragma once

class Connection;

// Copies every field and record of one store, and its bin and the fields kept for undo, into
// another that holds none yet (a local data file to a server's database or back), all in one
// transaction of the target: a failure or a kill leaves the target as it was. Record ids are
// kept, and the target hands out ids after the highest the source ever gave. Returns the number
// of records copied.
long copyStore(Connection& from, Connection& to);
