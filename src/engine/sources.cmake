target_sources(ostrel_core PRIVATE
)
