# The summary at the top of docs/performance.md, written from the results'
# Markdown tables (### sections, a header row, rows): per port kind the time
# the monitor adds to each label and why, then every goal met or missed.
# A column whose name holds "(goal <= N)" or "(goal >= N)" is a goal; the CPU
# goal while the printer prints is stated here. Sections that are missing are
# left out of the summary.

function trim(s) { gsub(/^[ \t]+|[ \t]+$/, "", s); return s }

# The column of the current table whose name holds text, or 0.
function column(text,    i) {
    for (i = 1; i <= ncols; ++i) if (index(head[i], text) > 0) return i
    return 0
}

# What a goal asks, in plain words, by its section; others by their column.
function goal_words(g) {
    if (goal_section[g] ~ /Rebuilding/)
        return "Rebuilding a multi-copy job takes at most " goal_bound[g] " times as long as WriteFile of as many bytes"
    if (goal_section[g] ~ /scanner/)
        return "The scanner takes no longer than memcpy of the same bytes (either way a page takes it a few microseconds)"
    if (goal_section[g] ~ /own cost per page/)
        return "From the printer's \"printing ended\" to the next page's first byte in at most " goal_bound[g] \
               " ms at every page after the first, with a port monitor whose ReadPort " \
               (goal_name[g] ~ /blocking/ ? "blocks for its time-out" : "returns at once") " (worst page)"
    if (goal_section[g] ~ /ports at once/)
        return "With 16 ports printing at once, the " (goal_name[g] ~ /CPU/ ? "CPU" : "wall time") \
               " per page at most " goal_bound[g] " times that of one port alone"
    if (goal_section[g] ~ /Labels per minute/)
        return "At least " goal_bound[g] " labels a minute on a printer that prints 60"
    return goal_section[g] ": " goal_name[g] " " goal_op[g] " " goal_bound[g]
}

function join_list(list, n,    i, out) {
    out = ""
    for (i = 1; i <= n; ++i) out = out (i == 1 ? "" : (i == n ? " and " : ", ")) list[i]
    return out
}

{ sub(/\r$/, "") }
/^### / { section = substr($0, 5); ncols = 0; next }
/^\|---/ { next }
/^\|/ {
    n = split($0, cell, "|")
    if (ncols == 0) {
        for (i = 2; i < n; ++i) head[++ncols] = trim(cell[i])
        # A goal column: its name, its bound and its direction.
        for (i = 1; i <= ncols; ++i)
            if (match(head[i], /\(goal (<=|>=) [0-9.]+\)/)) {
                g = ++goals
                goal_section[g] = section
                goal_name[g] = trim(substr(head[i], 1, RSTART - 1))
                split(substr(head[i], RSTART + 6, RLENGTH - 7), bound, " ")
                goal_op[g] = bound[1]
                goal_bound[g] = bound[2] + 0
                goal_col[g] = i
                goal_rows[g] = 0
            }
        next
    }
    for (i = 2; i < n; ++i) row[i - 1] = trim(cell[i])
    for (g = 1; g <= goals; ++g)
        if (goal_section[g] == section && row[goal_col[g]] != "") {
            v = row[goal_col[g]] + 0
            met = goal_op[g] == "<=" ? v <= goal_bound[g] : v >= goal_bound[g]
            k = ++goal_rows[g]
            name = row[1]
            sub(/^BM_[A-Za-z]+\//, "", name)
            gsub(/_/, " ", name)
            goal_row[g, k] = name " (" row[goal_col[g]] ")"
            goal_met[g, k] = met
        }
    if (section ~ /own cost per page/) {
        p = ++ports
        port_name[p] = row[1]
        port_wall[p] = row[column("wall ms/page")]
        port_gap[p] = row[column("printing ended")]
        port_through[p] = row[column("pass-through wall")]
    }
    if (section ~ /CPU while the printer prints/ && row[2] ~ /^(blocks|returns at once)/) {
        c = ++cpu_rows
        cpu_port[c] = row[1]
        cpu_kind[c] = row[2] ~ /^blocks/ ? "blocking" : "returning at once"
        cpu_value[c] = row[column("CPU %")] + 0
        cpu_wall[row[1], cpu_kind[c]] = row[column("wall s")] + 0
    }
    # Each "at page 10" column is followed by its growth to the end.
    if (section ~ /long plain job/)
        memory = sprintf("over a %s MB job private bytes grew %s KB from page 10 to the last write, heap bytes %s KB",
                         row[1], row[column("private bytes") + 1], row[column("heap bytes") + 1])
    next
}

END {
    print "## Summary"
    print ""
    print "Measured at commit " commit " (" started ") under Wine, where the"
    print "figures are noisier and some costs higher than on Windows (see Method)."
    print ""
    if (ports > 0) {
        print "**Time the monitor adds to each label**, with a printer that answers at once"
        printf "(pages of 46 KB; a monitor that passes every call straight on takes %.1f ms a page):\n", port_through[1]
        print ""
        quick = 0
        for (p = 1; p <= ports; ++p) {
            if (port_gap[p] + 0 >= 100) {
                printf "- %s: %.0f ms a label, so a person waits about %.1f s more for each label than the\n", \
                    port_name[p], port_wall[p], port_gap[p] / 1000
                printf "  printer needs. %.0f ms of it pass between the printer's \"printing ended\" and the next\n", port_gap[p]
                print "  page's first byte: the status check before each page drains the packets the printer"
                print "  may have queued, for its whole poll time. The rest is notifications to the status"
                print "  monitor application, as on the other ports."
            } else {
                quick_list[++quick] = port_name[p]
                quick_wall[quick] = port_wall[p] + 0
            }
        }
        if (quick > 0) {
            low = high = quick_wall[1]
            for (q = 2; q <= quick; ++q) {
                if (quick_wall[q] < low) low = quick_wall[q]
                if (quick_wall[q] > high) high = quick_wall[q]
            }
            range = low == high ? sprintf("%.0f", low) : sprintf("%.0f to %.0f", low, high)
            print "- " join_list(quick_list, quick) ": " range " ms a label, nearly all of it notifications to"
            print "  the status monitor application (a progress notification for most 4096-byte"
            print "  writes, besides the printing and waiting phases)."
        }
        # The CPU section prints two pages per port: a blocking ReadPort that
        # slows each page shows as a longer run than the one that returns at once.
        for (c = 1; c <= cpu_rows; ++c) {
            if (cpu_kind[c] != "blocking") continue
            extra = (cpu_wall[cpu_port[c], "blocking"] - cpu_wall[cpu_port[c], "returning at once"]) / 2
            if (extra >= 0.5)
                printf "- %s, with a port monitor whose ReadPort blocks for its time-out: about %.1f s\n" \
                       "  more a page (see \"Reading the figures\").\n", cpu_port[c], extra
        }
        print ""
    }
    print "**Goals**"
    print ""
    if (cpu_rows > 0) {
        missed = 0
        for (c = 1; c <= cpu_rows; ++c)
            if (cpu_value[c] >= 1) missed_list[++missed] = sprintf("%s with a ReadPort %s (%.2f %%)", cpu_port[c], cpu_kind[c], cpu_value[c])
        printf "- CPU while the printer prints stays under 1 %% of one core on every port kind, with both\n"
        if (missed == 0) print "  kinds of ReadPort: met."
        else print "  kinds of ReadPort: missed on " join_list(missed_list, missed) "; met on the others."
    }
    for (g = 1; g <= goals; ++g) {
        nm = nn = 0
        delete met_list
        delete miss_list
        for (k = 1; k <= goal_rows[g]; ++k)
            if (goal_met[g, k]) met_list[++nm] = goal_row[g, k]
            else miss_list[++nn] = goal_row[g, k]
        if (nn == 0) verdict = "met for every case: " join_list(met_list, nm)
        else if (nm == 0) verdict = "missed for every case: " join_list(miss_list, nn)
        else verdict = "missed for " join_list(miss_list, nn) "; met for " join_list(met_list, nm)
        print "- " goal_words(g) ": " verdict "."
    }
    if (memory != "") print "- Memory through a long plain job (no figure is set as its goal): " memory "."
    print ""
}
