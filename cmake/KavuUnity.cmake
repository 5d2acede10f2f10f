# Unity builds (-DCMAKE_UNITY_BUILD=ON: what `scripts/build.sh --programs` uses for a new build
# folder, about halving the programs' compile time) compile each target's sources in batches of
# eight as one translation unit. These files define a file-local helper under a name that another
# file of their batch uses too, so they are compiled on their own. A new clash makes the unity
# build fail; scripts/build.sh then builds file by file and says so.
set(kavu_unity_alone
  board/board_protocol_batch.cpp   # HexText, as board_protocol.cpp
  results/touchstone_s1p.cpp       # Finite, as swr_circle_fit.cpp
  scan/measurement.cpp             # Db, as live_spectrum.cpp
  scan/scan_station.cpp            # Printf, as scan_saving.cpp
  web/okavu_http_answers.cpp       # kTicksPerSecond, as http_dates.cpp
)
foreach(f ${kavu_unity_alone})
  get_filename_component(d ${f} DIRECTORY)
  set_source_files_properties(${PROJECT_SOURCE_DIR}/src/${f} DIRECTORY ${PROJECT_SOURCE_DIR}/src/${d}
                              PROPERTIES SKIP_UNITY_BUILD_INCLUSION ON)
endforeach()
# Every command of kavusdraa-cli names itself in a file-local kName: one file at a time.
set_target_properties(kavusdraa-cli PROPERTIES UNITY_BUILD OFF)
