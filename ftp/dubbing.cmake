# The dubbing session, programme reception and title naming, part of kestova_ftp.
# Included from ftp/CMakeLists.txt after kestova_ftp (and its test support) exist.
if(WIN32)
  set(KESTOVA_TITLE_FILE_NAME_BODY title_file_name_win32.cpp)
else()
  set(KESTOVA_TITLE_FILE_NAME_BODY title_file_name_posix.cpp)
endif()
target_sources(kestova_ftp PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/dubbing_documents.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dubbing_session.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dubbing_transfers.cpp
  ${CMAKE_CURRENT_LIST_DIR}/programme_file.cpp
  ${CMAKE_CURRENT_LIST_DIR}/programme_progress.cpp
  ${CMAKE_CURRENT_LIST_DIR}/programme_reception.cpp
  ${CMAKE_CURRENT_LIST_DIR}/title_cleaning.cpp
  ${CMAKE_CURRENT_LIST_DIR}/${KESTOVA_TITLE_FILE_NAME_BODY})

if(KESTOVA_TESTS)
  # Pure parts: titles, file names, progress arithmetic, documents, file choice.
  kestova_add_test(NAME dubbing_unit_test
    SOURCES title_cleaning_test.cpp title_file_name_test.cpp programme_progress_test.cpp
            dubbing_documents_test.cpp programme_file_test.cpp
    LIBS kestova_ftp_test_support)
  # Reception and the dubbing transfers over a scripted link and over loopback sockets.
  kestova_add_test(NAME programme_reception_test
    SOURCES programme_reception_test.cpp programme_socket_test.cpp dubbing_test_link.cpp
    LIBS kestova_ftp_test_support TIMEOUT 300)
  # The whole session behind a listener, driven by a raw FTP client.
  kestova_add_test(NAME dubbing_session_test
    SOURCES dubbing_session_test.cpp dubbing_test_link.cpp
    LIBS kestova_ftp_test_support TIMEOUT 300)
  # A programme larger than 4 GiB (or 300 MiB when the disk is short of room).
  kestova_add_test(NAME programme_large_test
    SOURCES programme_large_test.cpp dubbing_test_link.cpp
    LIBS kestova_ftp_test_support LABELS slow TIMEOUT 900)
endif()
