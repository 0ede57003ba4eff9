// A static library needs a source of its own. The images are not in here: Qt
// compiles them into an object library that travels with plimora_resources to
// every program that links it (see CMakeLists.txt).
