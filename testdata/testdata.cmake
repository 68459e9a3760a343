# The shared test-data library: one writer (header and source pair) per file format, plus the
# temporary device root. A new format adds its pair and lists its source below.
nav_component(testdata STEP 0
  SOURCES
    advisorwriter.cpp
    alertcencoder.cpp
    areatreewriter.cpp
    archivewriter.cpp
    wavewriter.cpp
    bitmapwriter.cpp
    drawingfilewriter.cpp
    drivegenerator.cpp
    gpssettingswriter.cpp
    hostprogram.cpp
    fuzzinput.cpp
    levelfilewriter.cpp
    logbookwriter.cpp
    nmeawriter.cpp
    osmextractwriter.cpp
    ptyport.cpp
    rdsgroupfilewriter.cpp
    screendescwriter.cpp
    receiverscenariowriter.cpp
    registrystorewriter.cpp
    resourcebundlewriter.cpp
    stylesheetwriter.cpp
    tempdir.cpp
    xauthoritywriter.cpp
  DEPENDS platform_files platform_sfs platform_shell platform_registry
  PRIVATE_DEPENDS platform_serial)
nav_headers(testdata detail/fileimage.h freshprocess.h testfiles.h)

nav_test(testdata_test
  SOURCES
    tests/advisorwriter_test.cpp
    tests/alertcencoder_test.cpp
    tests/archivewriter_test.cpp
    tests/drivegenerator_test.cpp
    tests/freshprocess_test.cpp
    tests/osmextractwriter_test.cpp
    tests/tempdir_test.cpp
  DEPENDS testdata)
