# Makes the engine's configuration header from Debian's: the interrupt
# counter and the execution-timeout check on, so that a break or Quit can
# stop a running script (the shipped header undefines both, which -D flags
# cannot undo). Called as: cmake -DIN=... -DOUT=... -P gen_duk_config.cmake
file(READ "${IN}" text)
set(timeout_undef "#undef DUK_USE_EXEC_TIMEOUT_CHECK")
set(counter_undef "#undef DUK_USE_INTERRUPT_COUNTER")
string(FIND "${text}" "${timeout_undef}" at_timeout)
string(FIND "${text}" "${counter_undef}" at_counter)
if(at_timeout LESS 0 OR at_counter LESS 0)
  message(FATAL_ERROR "${IN}: the interrupt settings are not where they are expected")
endif()
string(REPLACE "${counter_undef}" "#define DUK_USE_INTERRUPT_COUNTER" text "${text}")
string(REPLACE "${timeout_undef}"
"#if defined(__cplusplus)
extern \"C\" {
#endif
/* Answers non-zero when the heap whose user data is `udata` must stop. */
duk_bool_t tidemark_duk_exec_timeout(void *udata);
#if defined(__cplusplus)
}
#endif
#define DUK_USE_EXEC_TIMEOUT_CHECK(udata) tidemark_duk_exec_timeout((udata))"
  text "${text}")
file(WRITE "${OUT}.tmp" "${text}")
file(COPY_FILE "${OUT}.tmp" "${OUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUT}.tmp")
