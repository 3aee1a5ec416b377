# Placeholder until the resource script lands.
function(lz_add_windows_resources target description filename)
endfunction()
