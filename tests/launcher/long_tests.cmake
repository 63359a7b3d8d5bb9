# Read by CTest after the discovered tests: the kill test starts the launcher
# fifty times and may need longer than the usual bound on a busy machine.
set_tests_properties(LauncherProgram.KilledDuringTheUpdateCheckLeavesASoundCatalogue PROPERTIES TIMEOUT 600)
