# Runs at install time, when the prefix is known even if `cmake --install
# --prefix` chose it: the example mill's folder becomes the installed
# examples folder, so that a first start lists programs to send.
set(examples "${CMAKE_INSTALL_PREFIX}/${data_dir}/examples")
file(READ "${example_profiles}" text)
string(REPLACE "/srv/nc/mill/" "${examples}/" text "${text}")
file(WRITE "$ENV{DESTDIR}${examples}/DNC.ini" "${text}")
message(STATUS "Installing: $ENV{DESTDIR}${examples}/DNC.ini")
