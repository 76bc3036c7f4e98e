#include "app/Entry.h"

int main(int argc, char** argv) { return qv::app::run(argc, argv); }
