# The build's server settings as cmake/ServerSettings.cmake checks them: what it takes and what
# stops the configuration. Run by CTest:
#   cmake -DSOURCE_DIR=<checkout> -P tests/settings/server_settings_test.cmake

set(pin "sha256//5dVH/FWl4ZCjKvK+SzKg0aLeE9LrbZSfsbQ54nXL5lY=")
set(other "sha256//AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA=")

# Configures with `host` and `key`; `expected` is "accepted" or the variable the refusal names.
function(expect expected host key)
  execute_process(
    COMMAND ${CMAKE_COMMAND} "-DTUNELIFT_FTP_HOST=${host}" "-DTUNELIFT_FTP_PINNED_KEY=${key}"
            -P ${SOURCE_DIR}/cmake/ServerSettings.cmake
    RESULT_VARIABLE result
    ERROR_VARIABLE said)
  if(expected STREQUAL "accepted")
    set(ok FALSE)
    if(result EQUAL 0)
      set(ok TRUE)
    endif()
  else()
    string(FIND "${said}" "${expected} must be" named)
    set(ok FALSE)
    if(NOT result EQUAL 0 AND named GREATER -1)
      set(ok TRUE)
    endif()
  endif()
  if(NOT ok)
    message(SEND_ERROR "host '${host}', key '${key}': expected ${expected}, got ${result}: ${said}")
  endif()
endfunction()

expect(accepted ftp.example.org "")
expect(accepted ftp.example.org "${pin}")
expect(accepted ftp.example.org "${pin};${other}")  # the old and the new key while it changes
expect(TUNELIFT_FTP_HOST "ftp example.org" "")
expect(TUNELIFT_FTP_PINNED_KEY ftp.example.org "5dVH/FWl4ZCjKvK+SzKg0aLeE9LrbZSfsbQ54nXL5lY=")
expect(TUNELIFT_FTP_PINNED_KEY ftp.example.org "sha256//5dVH/FWl4ZCjKvK+SzKg0aLeE9LrbZSfsbQ54nXL5l=")
expect(TUNELIFT_FTP_PINNED_KEY ftp.example.org "sha256//5dVH/FWl4ZCjKvK+SzKg0aLeE9LrbZSfsbQ54nXL5lZ=")
expect(TUNELIFT_FTP_PINNED_KEY ftp.example.org "${pin};")
expect(TUNELIFT_FTP_PINNED_KEY ftp.example.org " ${pin}")
expect(TUNELIFT_FTP_PINNED_KEY ftp.example.org "sha1//5dVH/FWl4ZCjKvK+SzKg0aLeE9LrbZSfsbQ54nXL5lY=")
