fn main() {
    $0
}
